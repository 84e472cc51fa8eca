#include "pack/format/embedded_signature.h"

#include "launch/anchor_record.h"
#include "pack/format/compound_file.h"
#include "pack/format/pe_image.h"

namespace {

constexpr uint16_t kPe32Magic = 0x10B;

// Where signtool and osslsigncode put a package's signature.
const char16_t kSignatureStream[] = u"\x0005"
                                    u"DigitalSignature";

}  // namespace

EmbeddedSignature ProgramSignature(const uint8_t* head, size_t size, uint64_t programSize,
                                   ProgramSignatureTable* table) {
  std::optional<uint32_t> pe = PeHeaderOffset(head, size);
  // The PE signature, the 20-byte file header, the optional header's magic.
  if (!pe || uint64_t{*pe} + 4 + 20 + 2 > size || !IsPeSignature(head + *pe))
    return EmbeddedSignature::kUnreadable;
  const uint8_t* optional = head + *pe + 4 + 20;
  const uint16_t optionalSize = LoadU16(head + *pe + 4 + 16);
  const uint16_t magic = LoadU16(optional);
  // Where NumberOfRvaAndSizes and the data directories stand in the two forms.
  size_t countAt;
  if (magic == kPe32Magic)
    countAt = 92;
  else if (magic == kPe32PlusMagic)
    countAt = 108;
  else
    return EmbeddedSignature::kUnreadable;
  const size_t entryAt = countAt + 4 + 8 * kCertificateDirectory;
  if (optionalSize < countAt + 4 || uint64_t{*pe} + 24 + countAt + 4 > size)
    return EmbeddedSignature::kUnreadable;
  if (LoadU32(optional + countAt) <= kCertificateDirectory || optionalSize < entryAt + 8)
    return EmbeddedSignature::kNotSigned;
  if (uint64_t{*pe} + 24 + entryAt + 8 > size) return EmbeddedSignature::kUnreadable;
  const uint32_t address = LoadU32(optional + entryAt);
  const uint32_t length = LoadU32(optional + entryAt + 4);
  if (length == 0) return EmbeddedSignature::kNotSigned;
  // A table that does not lie inside the program is no signature the program carries.
  if (address == 0 || uint64_t{address} + length > programSize)
    return EmbeddedSignature::kUnreadable;
  if (table) {
    table->checksumOffset = *pe + 24 + 64;  // CheckSum, at the same place in both forms
    table->certificateEntryOffset = static_cast<uint32_t>(*pe + 24 + entryAt);
    table->address = address;
    table->size = length;
  }
  return EmbeddedSignature::kSigned;
}

EmbeddedSignature PackageSignature(uint64_t packageSize, const ReadEmbeddedBytes& read) {
  try {
    PackageBytes bytes(packageSize, read);
    CompoundFile file(bytes);
    return file.HasStream(kSignatureStream) ? EmbeddedSignature::kSigned
                                            : EmbeddedSignature::kNotSigned;
  } catch (const PackageFormatError&) {
    return EmbeddedSignature::kUnreadable;
  }
}
