// Whether the files a launcher file carries are signed themselves, as a publisher signs the
// installer program and the package before packing them.
//
// The installer program: a PE32 or PE32+ image whose certificate-table entry names a table inside
// the program. The package: a Windows Installer database (a compound file) holding the
// "\x05DigitalSignature" stream, where signtool and osslsigncode put a package's signature. Here
// only where a signature is is found: the program's is then read and checked like the launcher
// file's own (signature_rules.cpp); the package's is only known to be there.
//
// Platform-free and bounded: the bytes are asked for through `read`, never outside the embedded
// file, and the package is read by the tool's one compound-file reader (compound_file.h), which
// checks every chain against the file's size and stops at a loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

enum class EmbeddedSignature {
  kSigned,
  kNotSigned,
  kUnreadable,  // not a Windows program, not a compound file, or one whose structure is damaged
};

// The first bytes of an embedded installer program that ProgramSignature needs (fewer when the
// program is shorter).
constexpr size_t kProgramHeadSize = 4096;

// Where a signed program's certificate table stands, and the two header fields its Authenticode
// image digest leaves out (file offsets from the program's start).
struct ProgramSignatureTable {
  uint32_t checksumOffset = 0;
  uint32_t certificateEntryOffset = 0;
  uint32_t address = 0;
  uint32_t size = 0;
};

// `head`: the program's first min(kProgramHeadSize, programSize) bytes. With kSigned, `table`
// (when given) receives where the table stands.
EmbeddedSignature ProgramSignature(const uint8_t* head, size_t size, uint64_t programSize,
                                   ProgramSignatureTable* table = nullptr);

// Fills `bytes` with the `count` bytes at `offset`, counted from the embedded file's start.
using ReadEmbeddedBytes = std::function<void(uint64_t offset, uint8_t* bytes, size_t count)>;

// `packageSize`: the package's length in the launcher file.
EmbeddedSignature PackageSignature(uint64_t packageSize, const ReadEmbeddedBytes& read);
