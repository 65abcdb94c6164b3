#pragma once
// The loader's command session and read command, sent through the link's
// SendString (loader_link.h), the only way bytes reach the loader.
#include <cstdint>

namespace corvash::bootlink {

class LoaderLink;

// Opens the loader's command session: when commandSessionOpen is 1 first
// sends the CR burst, then "$QEL$\r"; sets commandSessionOpen to 1.
// Returns the result of its last send (callers may ignore it).
uint32_t OpenCommandSession(LoaderLink& link);
// Sends "KVOS$QEL$\rKVOE" and sets commandSessionOpen to 0. Returns the
// result of the send.
uint32_t CloseCommandSession(LoaderLink& link);
// Sends the framed read command for `address` ("KVOSreaddata a0040100 28\rKVOE").
uint32_t SendReadData(LoaderLink& link, uint32_t address);

}  // namespace corvash::bootlink
