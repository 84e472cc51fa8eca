#include "pack/format/msi_signed_content.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

const char16_t kSignatureName[] = u"\x0005"
                                  u"DigitalSignature";
const char16_t kSignatureExName[] = u"\x0005"
                                    u"MsiDigitalSignatureEx";

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

// One walk of the storages for both digests, with what it has handed out so far.
class SignedWalk {
 public:
  SignedWalk(const PackageBytes& package, bool metadata, const ByteSink& sink)
      : file_(package),
        metadata_(metadata),
        sink_(sink),
        reached_(file_.EntryCount()),
        room_(package.Size()) {}

  void Storage(uint32_t index) {
    if (reached_[index])
      throw PackageFormatError("compound file: the directory reaches one entry twice");
    reached_[index] = true;
    const CompoundFile::Entry& storage = file_.At(index);
    const bool root = index == 0;
    if (metadata_) Metadata(storage, root);
    for (uint32_t child : SortedChildren(index)) {
      const CompoundFile::Entry& entry = file_.At(child);
      if (root && (entry.name == kSignatureName || entry.name == kSignatureExName)) continue;
      if (entry.type == CompoundFile::kStorage) {
        Storage(child);
      } else if (entry.type == CompoundFile::kStream) {
        if (reached_[child])
          throw PackageFormatError("compound file: the directory reaches one entry twice");
        reached_[child] = true;
        if (metadata_)
          Metadata(entry, false);
        else
          Content(entry);
      }
    }
    if (!metadata_) sink_(storage.clsid, sizeof storage.clsid);
  }

 private:
  std::vector<uint32_t> SortedChildren(uint32_t index) const {
    std::vector<std::pair<std::vector<uint8_t>, uint32_t>> named;
    for (uint32_t child : file_.Children(index))
      named.emplace_back(StoredName(file_.At(child).name), child);
    std::stable_sort(named.begin(), named.end(),
                     [](const auto& a, const auto& b) { return SignedBefore(a.first, b.first); });
    std::vector<uint32_t> sorted;
    for (const auto& entry : named) sorted.push_back(entry.second);
    return sorted;
  }

  // Streams lie in sectors of their own, so together they hold no more than the package.
  void Content(const CompoundFile::Entry& entry) {
    if (entry.size > room_)
      throw PackageFormatError(
          "compound file: the streams together hold more bytes than the package");
    room_ -= entry.size;
    file_.ReadStream(entry, sink_);
  }

  // A storage's or stream's name (without its terminator; none for the root), its CLSID (a
  // storage) or the low 32 bits of its size (a stream), its state bits and, but for the root,
  // its creation and modification times.
  void Metadata(const CompoundFile::Entry& entry, bool root) {
    if (!root) {
      std::vector<uint8_t> name = StoredName(entry.name);
      sink_(name.data(), name.size() - 2);
    }
    if (entry.type == CompoundFile::kStream) {
      const uint32_t size = static_cast<uint32_t>(entry.size);
      const uint8_t bytes[4] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                                static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
      sink_(bytes, sizeof bytes);
    } else {
      sink_(entry.clsid, sizeof entry.clsid);
    }
    sink_(entry.stateBits, sizeof entry.stateBits);
    if (!root) {
      sink_(entry.created, sizeof entry.created);
      sink_(entry.modified, sizeof entry.modified);
    }
  }

  CompoundFile file_;
  bool metadata_;
  const ByteSink& sink_;
  std::vector<bool> reached_;
  uint64_t room_;
};

}  // namespace

void MsiSignedContent(const PackageBytes& package, const ByteSink& sink) {
  SignedWalk(package, false, sink).Storage(0);
}

void MsiSignedMetadata(const PackageBytes& package, const ByteSink& sink) {
  SignedWalk(package, true, sink).Storage(0);
}

MsiSignatureStreams ReadMsiSignatureStreams(const PackageBytes& package, uint64_t largest) {
  CompoundFile file(package);
  MsiSignatureStreams streams;
  for (uint32_t index : file.Children(0)) {
    const CompoundFile::Entry& entry = file.At(index);
    if (entry.type != CompoundFile::kStream) continue;
    std::optional<std::vector<uint8_t>>* into = entry.name == kSignatureName ? &streams.signature
                                                : entry.name == kSignatureExName
                                                    ? &streams.signatureEx
                                                    : nullptr;
    if (!into || *into) continue;
    if (entry.size > largest)
      throw PackageFormatError("the signature stream is " + std::to_string(entry.size) +
                               " bytes long, more than the " + std::to_string(largest) + " read");
    std::vector<uint8_t> bytes;
    file.ReadStream(entry, [&](const uint8_t* data, size_t count) {
      bytes.insert(bytes.end(), data, data + count);
    });
    *into = std::move(bytes);
  }
  return streams;
}
