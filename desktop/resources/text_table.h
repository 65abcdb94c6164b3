#pragma once
// The page texts: every string 11010..11190 of the program's string table,
// loaded once at start into a fixed-capacity buffer of its own. Pages never
// read the resource script themselves; they copy these buffers into their
// controls.
//
// A text longer than its buffer loses its tail, cut before a whole UTF-8
// sequence so that no half character remains; one byte always stays for the
// terminator. An id that the table lacks (or that lies outside the range)
// reads as "".
//
// Threads: LoadTextTable publishes a complete new table at once; a pointer
// returned by Text() stays valid for the life of the process, also across a
// later reload. Text() may be called from any thread; called before any
// LoadTextTable it loads the compiled-in table first.
#include <cstddef>
#include <string_view>

namespace corvash::resources {

class ResourceScript;

inline constexpr int kFirstTextId = 11010;
inline constexpr int kLastTextId = 11190;
// Bytes per text buffer, terminator included. The longest delivered text
// (11156, the reset instructions) takes well under this in UTF-8.
inline constexpr size_t kTextCapacity = 1280;

// Loads the compiled-in string table (ResourceScript::LoadDefault()).
void LoadTextTable();
// Loads the texts of `script`; with `capacity` (1..kTextCapacity) a smaller
// buffer size, for tests of the cut. A capacity out of range is clamped.
void LoadTextTable(const ResourceScript& script, size_t capacity = kTextCapacity);

// The text of `id`, zero-terminated; "" when absent. Never null.
const char* Text(int id);

// Copies `text` into `buffer` of `capacity` bytes (capacity > 0), cut at a
// UTF-8 character boundary so that it fits with its terminator. Returns the
// number of bytes copied (terminator excluded).
size_t CopyTextCut(char* buffer, size_t capacity, std::string_view text);

}  // namespace corvash::resources
