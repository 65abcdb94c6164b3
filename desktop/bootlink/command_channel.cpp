#include "desktop/bootlink/command_channel.h"

#include "common/loader_wire.h"
#include "desktop/bootlink/loader_link.h"

namespace corvash::bootlink {

uint32_t OpenCommandSession(LoaderLink& link) {
  if (link.commandSessionOpen.load() == 1) link.SendString(common::CR_BURST);
  const uint32_t result = link.SendString(common::SESSION_OPEN);
  link.commandSessionOpen.store(1);
  return result;
}

uint32_t CloseCommandSession(LoaderLink& link) {
  const uint32_t result = link.SendString(common::SESSION_CLOSE);
  link.commandSessionOpen.store(0);
  return result;
}

uint32_t SendReadData(LoaderLink& link, uint32_t address) {
  return link.SendString(common::ReadDataCommand(address));
}

}  // namespace corvash::bootlink
