#include "pack/format/msi_signed_content.h"

#include <algorithm>
#include <cstring>

namespace {

// A name as the directory stores it: UTF-16LE with its terminating zero.
std::vector<uint8_t> StoredName(const std::u16string& name) {
  std::vector<uint8_t> bytes;
  for (char16_t c : name) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// The signers' order: the stored names' bytes compared over the shorter length, and of two names
// the one a prefix of the other, the longer first.
bool SignedBefore(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int diff = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  return diff != 0 ? diff < 0 : a.size() > b.size();
}

void Storage(const CompoundFile& file, uint32_t index, std::vector<bool>& visited,
             const ByteSink& sink) {
  if (visited[index]) throw PackageFormatError("compound file: the storages' tree loops");
  visited[index] = true;
  std::vector<std::pair<std::vector<uint8_t>, uint32_t>> children;
  for (uint32_t child : file.Children(index))
    children.emplace_back(StoredName(file.At(child).name), child);
  std::stable_sort(children.begin(), children.end(),
                   [](const auto& a, const auto& b) { return SignedBefore(a.first, b.first); });
  const bool root = index == 0;
  for (const auto& [name, child] : children) {
    const CompoundFile::Entry& entry = file.At(child);
    if (root && (entry.name == u"\x0005"
                               u"DigitalSignature" ||
                 entry.name == u"\x0005"
                               u"MsiDigitalSignatureEx"))
      continue;
    if (entry.type == CompoundFile::kStream)
      file.ReadStream(entry, sink);
    else if (entry.type == CompoundFile::kStorage)
      Storage(file, child, visited, sink);
  }
  sink(file.At(index).clsid, sizeof file.At(index).clsid);
}

}  // namespace

void MsiSignedContent(const PackageBytes& package, const ByteSink& sink) {
  CompoundFile file(package);
  std::vector<bool> visited(file.EntryCount());
  Storage(file, 0, visited, sink);
}
