#include "web/internet_handle_table.h"

#include <map>
#include <vector>

namespace velbrook::inet::detail {
namespace {

struct Entry {
  Handle parent = 0;
  std::unique_ptr<Object> object;
};

struct Table {
  std::map<Handle, Entry> entries;
  Handle next = 1;
};

Table& TheTable() {
  static Table table;
  return table;
}

// Handles count up and skip 0 and any value still in use, so a closed handle is not soon reused.
Handle NextFreeHandle(Table& table) {
  while (table.next == 0 || table.entries.count(table.next) != 0) ++table.next;
  return table.next++;
}

}  // namespace

Handle InsertHandle(Handle parent, std::unique_ptr<Object> object) {
  Table& table = TheTable();
  if (!object || (parent != 0 && table.entries.count(parent) == 0)) return 0;
  const Handle handle = NextFreeHandle(table);
  table.entries.emplace(handle, Entry{parent, std::move(object)});
  return handle;
}

Object* FindObject(Handle handle) {
  Table& table = TheTable();
  const auto found = table.entries.find(handle);
  return found == table.entries.end() ? nullptr : found->second.object.get();
}

bool CloseHandleTree(Handle handle) {
  Table& table = TheTable();
  if (handle == 0 || table.entries.count(handle) == 0) return false;
  std::vector<Handle> children;
  for (const auto& [child, entry] : table.entries) {
    if (entry.parent == handle) children.push_back(child);
  }
  for (Handle child : children) (void)CloseHandleTree(child);  // each child is known to be open
  table.entries.erase(handle);
  return true;
}

std::size_t HandleCount() { return TheTable().entries.size(); }

}  // namespace velbrook::inet::detail
