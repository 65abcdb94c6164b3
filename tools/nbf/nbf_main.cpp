// nbf: show, verify and create ROM image files (".nbf").
#include <CLI/CLI.hpp>
#include <iostream>

#include "tools/nbf/nbf_commands.h"

int main(int argc, char** argv) {
  using namespace corvash::nbf;
  CLI::App app{"Show, verify and create ROM image files (.nbf) for the Quor Pocket PC K5210.", "nbf"};
  app.set_version_flag("--version", "nbf " CORVASH_VERSION);
  app.require_subcommand(1);

  std::string file;
  CLI::App* info = app.add_subcommand("info", "Show a file's header, its stored and computed checksum and payload size");
  info->add_option("FILE", file, "ROM image file")->required();

  CLI::App* verify = app.add_subcommand(
      "verify", "Check a file's checksum: exit 0 verifies, 1 does not, 2 unreadable or shorter than 32 bytes");
  verify->add_option("FILE", file, "ROM image file")->required();

  CreateFields fields;
  std::string payload;
  std::string out;
  CLI::App* create = app.add_subcommand("create", "Write a ROM image file: a 32-byte header, then PAYLOAD");
  create->add_option("--model", fields.model, "model name, 9 characters (\"Quor 5210\")")->required();
  create->add_option("--variant", fields.variant, "variant code, 3 characters (NBT, WBT)")->required();
  create->add_option("--lang", fields.langCode, "language code, 3 characters (ENG, GER, ...)")->required();
  create->add_option("--version", fields.version, "version text, 4 characters (2.04)")->required();
  create->add_option("PAYLOAD", payload, "file holding the ROM payload")->required();
  create->add_option("OUT", out, "image file to write")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : kExitUnusable;
  }
  if (*info) return Info(file, std::cout, std::cerr);
  if (*verify) return Verify(file, std::cout, std::cerr);
  return Create(fields, payload, out, std::cout, std::cerr);
}
