// Writes the generated seed inputs of the fuzz targets, built with the pack tool's own writer:
//   make_fuzz_corpus <corpus folder>     (the checked-in one is tests/fuzz/corpus)
// Each target's seeds go to <corpus folder>/<target>/; existing files of the same name are
// replaced, others (findings kept as regression seeds) are left alone.
#include <cstdio>
#include <string>
#include <vector>

#include "pack/launcher_builder.h"
#include "pack/trailer_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

const TrailerNames kNames{u"Corvalinth", u"{0C3A5E1B-7F2D-4B8A-9E61-5D2F8C7A4B10}", u"setup.exe",
                          u"Corvalinth.msi"};

AnchorRecord Record() { return MakeAnchorRecord(4096, 111, 222, 4096, 10, 4112, 20); }

bool Write(const std::string& folder, const std::string& target, const std::string& name,
           const Bytes& bytes) {
  std::string path = folder + "/" + target + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::perror(path.c_str());
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fclose(file) == 0 && ok;
  if (!ok) std::perror(path.c_str());
  return ok;
}

// A scan_tail input: the window start, then the tail.
Bytes ScanInput(uint32_t windowStart, const Bytes& tail) {
  Bytes input(4);
  StoreU32(input.data(), windowStart);
  input.insert(input.end(), tail.begin(), tail.end());
  return input;
}

Bytes TailWith(size_t length, std::initializer_list<std::pair<size_t, Bytes>> parts) {
  Bytes tail;
  for (const auto& part : parts) PlaceBytes(tail, part.first, part.second);
  tail.resize(std::max(length, tail.size()), 0);
  return tail;
}

bool WriteScanTailSeeds(const std::string& folder) {
  const std::string t = "scan_tail";
  const Bytes trailer = EncodeTrailer(Record(), kNames);
  Bytes unended = trailer;
  unended.resize(unended.size() - 2);
  Bytes signedTail = TailWith(0, {{256, trailer}});
  signedTail.resize(NextMultiple(signedTail.size(), 8), 0);
  signedTail.resize(signedTail.size() + 200, 0x30);  // stands for a certificate table
  bool ok = true;
  ok &= Write(folder, t, "empty", {});
  ok &= Write(folder, t, "empty-window", ScanInput(0, {}));
  ok &= Write(folder, t, "trailer-at-128", ScanInput(0, TailWith(400, {{128, trailer}})));
  ok &= Write(folder, t, "trailer-at-0-of-file", ScanInput(0, TailWith(300, {{0, trailer}})));
  ok &= Write(folder, t, "trailer-at-0-of-window", ScanInput(128, TailWith(300, {{0, trailer}})));
  ok &= Write(folder, t, "trailer-then-certificate", ScanInput(1513728, signedTail));
  ok &= Write(folder, t, "trailer-off-boundary", ScanInput(0, TailWith(400, {{200, trailer}})));
  ok &= Write(folder, t, "empty-package-name",
              ScanInput(0, TailWith(300, {{128, EncodeTrailer(Record(), {u"T", u"F", u"I", u""})}})));
  ok &= Write(folder, t, "first-of-two-refused",
              ScanInput(0, TailWith(600, {{128, EncodeTrailer(Record(), {u"E", u"", u"a", u"b"})},
                                          {384, trailer}})));
  ok &= Write(folder, t, "unended-package-name", ScanInput(0, TailWith(0, {{128, unended}})));
  ok &= Write(folder, t, "smallest-accepted",
              ScanInput(0, TailWith(0, {{128, EncodeTrailer(Record(), {u"T", u"F", u"I", u"P"})}})));
  return ok;
}

// A read_packed_string input: the first position, then the buffer.
Bytes ReadInput(uint32_t pos, const Bytes& buffer) {
  Bytes input(4);
  StoreU32(input.data(), pos);
  input.insert(input.end(), buffer.begin(), buffer.end());
  return input;
}

bool WriteReadPackedStringSeeds(const std::string& folder) {
  const std::string t = "read_packed_string";
  const Bytes block = EncodeNamesBlock(kNames);
  Bytes unended = block;
  unended.resize(unended.size() - 3);  // half a unit left over at the end
  const Bytes japanese = EncodeNamesBlock({u"製品 \xD83D\xDE00", u"{フォルダ}", u"\xD800.exe", u""});
  bool ok = true;
  ok &= Write(folder, t, "empty", ReadInput(0, {}));
  ok &= Write(folder, t, "names-block", ReadInput(0, block));
  ok &= Write(folder, t, "names-block-odd-start", ReadInput(1, block));
  ok &= Write(folder, t, "unended", ReadInput(0, unended));
  ok &= Write(folder, t, "surrogates-and-japanese", ReadInput(0, japanese));
  ok &= Write(folder, t, "start-at-end", ReadInput(static_cast<uint32_t>(block.size()), block));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_corpus <corpus folder>\n");
    return 2;
  }
  bool ok = WriteScanTailSeeds(argv[1]);
  ok &= WriteReadPackedStringSeeds(argv[1]);
  return ok ? 0 : 1;
}
