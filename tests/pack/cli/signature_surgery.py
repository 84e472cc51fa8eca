# The forgeries of signing_test.sh, made as an attacker would without the key: an Authenticode
# signature (the DER osslsigncode extract-signature writes) with bytes replaced, an unsigned
# attribute or a nested signature added and every length set again; a signature laid into a PE
# file's certificate table with its entry and image checksum set again.
#
# Usage: signature_surgery.py COMMAND ARGS... (see main)
import struct, sys

def parse(data, at=0, end=None):
    end = len(data) if end is None else end
    nodes = []
    while at < end:
        tag = data[at]; at += 1
        length = data[at]; at += 1
        if length & 0x80:
            count = length & 0x7F
            length = int.from_bytes(data[at:at + count], "big"); at += count
        content = data[at:at + length]
        nodes.append([tag, parse(data, at, at + length) if tag & 0x20 else content])
        at += length
    return nodes

def encode(node):
    tag, value = node
    content = b"".join(encode(n) for n in value) if isinstance(value, list) else value
    n = len(content)
    length = bytes([n]) if n < 0x80 else bytes([0x80 | ((n.bit_length() + 7) // 8)]) + \
        n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([tag]) + length + content

def signed_data(root):            # ContentInfo -> [0] -> SignedData's fields
    return root[1][1][1][0][1]

def first_signer_info(root):
    fields = signed_data(root)
    return [f for f in fields if f[0] == 0x31][-1][1][0][1]

def pe_checksum(data, field):
    total = 0
    padded = data + b"\0" * (len(data) % 2)
    for i in range(0, len(padded), 2):
        if field <= i < field + 4:
            continue
        total += padded[i] | padded[i + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total & 0xFFFF) + len(data)

def attach(unsigned, der):
    # The certificate table after the file's end (padded to 8), its entry, a new checksum.
    data = bytearray(unsigned + b"\0" * (-len(unsigned) % 8))
    entry = der + b"\0" * (-len(der) % 8)
    table_at = len(data)
    data += struct.pack("<IHH", 8 + len(entry), 0x200, 2) + entry
    pe = struct.unpack_from("<I", data, 60)[0]
    optional = pe + 24
    directories = optional + (112 if struct.unpack_from("<H", data, optional)[0] == 0x20B else 96)
    struct.pack_into("<II", data, directories + 4 * 8, table_at, len(data) - table_at)
    struct.pack_into("<I", data, optional + 64, pe_checksum(bytes(data), optional + 64))
    return bytes(data)

def main():
    command, args = sys.argv[1], sys.argv[2:]
    if command == "replace":        # DER OLD_HEX NEW_HEX OUT: one byte string for another
        der = open(args[0], "rb").read()
        old, new = bytes.fromhex(args[1]), bytes.fromhex(args[2])
        assert der.count(old) == 1 and len(old) == len(new)
        open(args[3], "wb").write(der.replace(old, new))
    elif command == "unsigned-attribute":   # DER OID_HEX VALUES_HEX OUT: added to the SignerInfo
        root = parse(open(args[0], "rb").read())
        signer = first_signer_info(root[0])
        attribute = [0x30, [[0x06, bytes.fromhex(args[1])], [0x31, parse(bytes.fromhex(args[2]))]]]
        if signer[-1][0] == 0xA1:
            signer[-1][1].append(attribute)
        else:
            signer.append([0xA1, [attribute]])
        open(args[3], "wb").write(encode(root[0]))
    elif command == "nest":         # DER INNER_DER OUT: INNER_DER as a nested signature
        root = parse(open(args[0], "rb").read())
        inner = parse(open(args[1], "rb").read())
        signer = first_signer_info(root[0])
        attribute = [0x30, [[0x06, bytes.fromhex("2b060104018237020401")], [0x31, inner]]]
        if signer[-1][0] == 0xA1:
            signer[-1][1].append(attribute)
        else:
            signer.append([0xA1, [attribute]])
        open(args[2], "wb").write(encode(root[0]))
    elif command == "signature-value":   # DER OUT: the first SignerInfo's signature value
        signer = first_signer_info(parse(open(args[0], "rb").read())[0])
        open(args[1], "wb").write([f for f in signer if f[0] == 0x04][0][1])
    elif command == "countersign":  # DER CMS_DER OUT: CMS_DER's SignerInfo as a PKCS #9
        # counter-signature of the first SignerInfo, its certificates added to the signature's
        root = parse(open(args[0], "rb").read())
        cms = parse(open(args[1], "rb").read())[0]
        counter = first_signer_info(cms)
        signer = first_signer_info(root[0])
        counter_node = [f for f in signed_data(cms) if f[0] == 0x31][-1][1][0]
        attribute = [0x30, [[0x06, bytes.fromhex("2a864886f70d010906")], [0x31, [counter_node]]]]
        if signer[-1][0] == 0xA1:
            signer[-1][1].append(attribute)
        else:
            signer.append([0xA1, [attribute]])
        certificates = [f for f in signed_data(root[0]) if f[0] == 0xA0][0]
        certificates[1] += [f for f in signed_data(cms) if f[0] == 0xA0][0][1]
        open(args[2], "wb").write(encode(root[0]))
    elif command == "attach":       # UNSIGNED_PE DER OUT
        open(args[2], "wb").write(attach(open(args[0], "rb").read(), open(args[1], "rb").read()))
    elif command == "checksum":     # PE: its CheckSum field set again, in place
        data = bytearray(open(args[0], "rb").read())
        pe = struct.unpack_from("<I", data, 60)[0]
        struct.pack_into("<I", data, pe + 88, pe_checksum(bytes(data), pe + 88))
        open(args[0], "wb").write(bytes(data))
    elif command == "zero-table":   # PE OUT: a certificate entry pointing at 64 zero bytes
        data = bytearray(open(args[0], "rb").read())
        data += b"\0" * (-len(data) % 8)
        at = len(data)
        data += b"\0" * 64
        pe = struct.unpack_from("<I", data, 60)[0]
        optional = pe + 24
        directories = optional + (112 if struct.unpack_from("<H", data, optional)[0] == 0x20B else 96)
        struct.pack_into("<II", data, directories + 32, at, 64)
        struct.pack_into("<I", data, optional + 64, pe_checksum(bytes(data), optional + 64))
        open(args[1], "wb").write(bytes(data))

main()
