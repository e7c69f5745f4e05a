"""Fixture data for the loopback back end: JSON files plus a seeded generator, and the files
they name (pictures, documents, the skin archive), made on request from their descriptions."""

import copy
import datetime
import hashlib
import io
import json
import os
import random
import shutil
import subprocess
import tempfile
import threading
import zipfile

FIXTURE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixtures")

# The server's id key of each table that change sets and variants update row by row.
TABLE_KEYS = {
    "products": "productID",
    "categories": "categoryID",
    "productFields": "attributeFieldsId",
    "relatedFiles": None,
    "tags": "id",
    "productTags": None,
    "libraryFiles": "id",
    "libraryCategories": "cateID",
    "customers": "customerId",
    "customerFields": "attributeFieldsId",
    "addresses": "id",
    "contacts": "contactId",
}

ORDER_COLUMNS = [
    "order_id", "customer_id", "customer_info_id", "customer_name", "vendor_id", "order_number", "order_total",
    "order_subtotal", "order_tax", "order_tax_details", "order_shipping", "order_shipping_tax", "coupon_discount",
    "coupon_code", "order_discount", "order_currency", "order_status", "cdate", "mdate", "ship_method",
    "customer_note", "ip_address", "uploaded", "signature", "address", "city", "state", "zip_code", "phone",
    "bankAccount",
]
LINE_COLUMNS = [
    "order_item_id", "order_id", "customer_info_id", "vendor_id", "product_id", "order_item_sku", "order_item_name",
    "product_quantity", "product_item_price", "product_final_price", "order_item_currency", "order_item_subtotal",
    "order_status", "cdate", "mdate", "product_attribute",
]
ORDER_TIME_FORMAT = "%m/%d/%Y %H:%M:%S"


class FixtureError(Exception):
    pass


def fixture_names():
    return sorted(f[:-5] for f in os.listdir(FIXTURE_DIR) if f.endswith(".json"))


def _read(name):
    path = os.path.join(FIXTURE_DIR, name + ".json")
    if os.path.basename(name) != name or not os.path.isfile(path):
        raise FixtureError("no fixture named %r (known: %s)" % (name, ", ".join(fixture_names())))
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def upsert_rows(data, table, rows):
    """Replaces rows with the same id, appends the others; returns the ids touched."""
    key = TABLE_KEYS.get(table)
    current = data.setdefault(table, [])
    touched = []
    for row in rows:
        if key is None:
            current.append(copy.deepcopy(row))
            continue
        for i, old in enumerate(current):
            if old.get(key) == row.get(key):
                current[i] = copy.deepcopy(row)
                break
        else:
            current.append(copy.deepcopy(row))
        touched.append(row.get(key))
    return touched


_cache = {}
_cache_lock = threading.Lock()


def load(name):
    """A fresh copy of the named fixture, with its generated parts filled in."""
    with _cache_lock:
        if name not in _cache:
            # Kept as text: parsing it again is several times quicker than a deep copy.
            _cache[name] = json.dumps(_build(name, set()))
        return json.loads(_cache[name])


def _build(name, seen):
    if name in seen:
        raise FixtureError("fixture %r extends itself" % name)
    seen.add(name)
    raw = _read(name)
    if "extends" in raw:
        data = _build(raw["extends"], seen)
    else:
        data = {}
    for key, value in raw.items():
        if key in ("extends", "upsert", "generate"):
            continue
        data[key] = copy.deepcopy(value)
    if "generate" in raw:
        generate_tables(data, raw["generate"])
    for table, rows in raw.get("upsert", {}).items():
        upsert_rows(data, table, rows)
    history = data.get("history", {})
    if "generate" in history:
        data["history"] = generate_history(data, history["generate"])
    data["name"] = name
    return data


# --- The seeded generator -------------------------------------------------------------------

_WORDS = ("oak ash elm teak walnut maple birch cedar linen wool steel brass glass stone cork felt velvet rattan "
          "round square tall low wide slim classic modern nordic rustic compact deluxe").split()
_NOUNS = "chair table stool bench desk shelf lamp sofa cabinet bed mirror rug".split()


def _phrase(rng, words):
    return " ".join(rng.choices(_WORDS, k=words))


def _text(rng, sentences, words):
    picked = rng.choices(_WORDS, k=sentences * words)
    return ". ".join(" ".join(picked[i:i + words]).capitalize() for i in range(0, len(picked), words))


def generate_tables(data, plan):
    """Replaces the catalogue, library and customer tables with seeded rows. The same plan
    gives the same rows, byte for byte once written."""
    rng = random.Random(plan["seed"])
    n_categories = plan.get("categories", 20)
    categories = []
    for i in range(1, n_categories + 1):
        parent = 0 if i <= max(1, n_categories // 4) else rng.randint(1, max(1, n_categories // 4))
        categories.append({"categoryID": i, "categoryName": "%s %ss" % (_phrase(rng, 1).title(), rng.choice(_NOUNS)),
                           "categoryCode": "C%03d" % i, "categoryType": "product", "categoryPublish": 1,
                           "categoryOrdering": i, "categoryParentID": parent})
    fields = [{"attributeFieldsId": 1, "attributeName": "Colour", "description": "Colour",
               "attributeValue": "Red,Blue,Green,Black", "display": 1, "published": 1},
              {"attributeFieldsId": 2, "attributeName": "Size", "description": "Size",
               "attributeValue": "S,M,L", "display": 1, "published": 1}]
    n_tags = plan.get("tags", 10)
    tags = [{"id": i, "tagName": "tag-%s-%d" % (rng.choice(_WORDS), i)} for i in range(1, n_tags + 1)]
    n_library = plan.get("libraryFiles", 20)
    products, product_tags, related = [], [], []
    images_per = plan.get("imagesPerProduct", 2)
    image_id = 1
    n_products = plan["products"]
    for i in range(n_products):
        pid = 1000 + i
        sku = "SKU-%05d" % pid
        name = "%s %s" % (_phrase(rng, 2).title(), rng.choice(_NOUNS))
        images = []
        for j in range(images_per):
            stem = "g%05d_%d" % (pid, j)
            images.append({"imageID": image_id, "keyID": pid, "keyType": "product", "thumbAddress": stem + "_t.jpg",
                           "fullAddress": stem + ".jpg", "isDefault": 1 if j == 0 else 0,
                           "imageShortDesc": name, "imageDesc": "%s, view %d" % (name, j + 1),
                           "imagePublish": 1, "imageOrdering": j + 1})
            image_id += 1
        attributes = []
        if rng.random() < 0.5:
            attributes.append({"attributeId": pid * 2, "attributeFieldsId": 1,
                               "attributeValue": "Red,Blue,Green,Black", "defaultValue": "Red"})
        if rng.random() < 0.3:
            attributes.append({"attributeId": pid * 2 + 1, "attributeFieldsId": 2, "attributeValue": "S,M,L",
                               "defaultValue": "M"})
        price = round(rng.uniform(5, 2000), 2)
        discounted = rng.random() < 0.2
        tag = rng.randint(1, n_tags) if n_tags and rng.random() < 0.3 else 0
        if tag:
            product_tags.append({"tagId": tag, "productId": pid})
        if n_library and rng.random() < 0.05:
            related.append({"productId": pid, "productSku": sku, "fileId": 500 + rng.randint(1, n_library)})
        products.append({
            "productID": pid, "productSKU": sku, "productName": name,
            "productDesc": "%s. %s." % (name, _text(rng, 10, 9)),
            "productShortDesc": _phrase(rng, 4).capitalize(), "productBuy": 1, "productSale": 1,
            "productStock": rng.randint(0, 500), "productOrdering": i + 1, "publish": 1 if rng.random() < 0.97 else 0,
            "productTag": tags[tag - 1]["tagName"] if tag else "",
            "productParentList": sorted(rng.sample(range(1, n_categories + 1), rng.randint(1, 2))),
            "attributes": attributes, "priceID": 100000 + pid, "vendor_group_id_list": "", "vendor_state_id_list": "",
            "vendor_id_list": "", "customer_id_list": "", "price": price, "currency": "USD",
            "discountPrice": round(price * 0.8, 2) if discounted else 0.0,
            "discountIdentifier": "promo" if discounted else "", "discountStartDate": 86400 if discounted else 0,
            "discountEndDate": 4102444800 if discounted else 0, "discountPublish": 1 if discounted else 0,
            "tierStartDate": 0, "tierEndDate": 0, "tierQuantityPrice": "", "tierPublish": 0,
            "discount_percentage": 100.0,
            "relatedSKUList": ",".join("SKU-%05d" % (1000 + rng.randrange(n_products)) for _ in range(rng.randint(0, 2))),
            "images": images,
        })
    library_categories = [{"cateID": 10 + i, "cateName": "Library %d" % (i + 1), "cateOrdering": i + 1,
                           "catePublished": 1, "parentId": 0} for i in range(5)]
    kinds = [("PDF", "pdf"), ("VEDIO", "mp4"), ("EXCEL", "xlsx"), ("WORD", "docx"), ("KEYNOTE", "key")]
    library = []
    for i in range(1, n_library + 1):
        kind, ext = kinds[rng.randrange(len(kinds))]
        library.append({"id": 500 + i, "title": "Document %d" % i, "fileName": "doc%04d.%s" % (i, ext),
                        "category": 10 + rng.randrange(5), "type": kind, "date": "2025-%02d-%02d" % (
                            rng.randint(1, 12), rng.randint(1, 28)), "description": _phrase(rng, 6),
                        "ordering": i, "publish": 1, "coverImage": "doc%04d_c.jpg" % i, "info": ""})
    customers, addresses, contacts = [], [], []
    attribute_id = 1
    for i in range(plan.get("customers", 0)):
        cid = 20000 + i
        name = "%s %s" % (_phrase(rng, 1).title(), rng.choice(("Ltd", "Inc", "GmbH", "Co", "Group")))
        customers.append({"customerId": cid, "customerInfoId": "C-%d" % cid, "customerName": name,
                          "customerPublish": 1, "customerOrdering": i + 1, "customerDiscount": 0.0,
                          "attributes": [{"attributeId": attribute_id, "attributeFieldsId": 4,
                                          "attributeValue": rng.choice(("Gold", "Silver"))},
                                         {"attributeId": attribute_id + 1, "attributeFieldsId": 5,
                                          "attributeValue": "YES" if rng.random() < 0.9 else "NO"}]})
        attribute_id += 2
        addresses.append({"id": 100 + i, "customer_id": cid, "address": "%d %s Street" % (
            rng.randint(1, 999), _phrase(rng, 1).title()), "city": "City %d" % rng.randint(1, 99),
            "state": "ST", "zip_code": "%05d" % rng.randint(0, 99999)})
        contacts.append({"customerId": cid, "contactId": 100 + i, "firstName": _phrase(rng, 1).title(),
                         "lastName": _phrase(rng, 1).title(), "jobTitle": "Buyer", "workPhone": "555-%04d" % (i % 10000),
                         "mobilePhone": "", "email": "buyer%d@customer.test" % cid, "im": "", "note": ""})
    data.update({
        "products": products, "categories": categories, "productFields": fields, "relatedFiles": related,
        "tags": tags, "productTags": product_tags, "libraryFiles": library, "libraryCategories": library_categories,
        "customers": customers, "addresses": addresses, "contacts": contacts,
    })
    if "history" in plan:
        data["history"] = {"generate": {"seed": plan["seed"] + 1, "account": data["accounts"][0]["accountId"],
                                        "orders": plan["history"], "firstOrderId": 5001,
                                        "newest": "2025-06-30 17:00:00",
                                        "products": [p["productID"] for p in products[:20]]}}
    # Generated names are served as seeded pictures, made from the name when asked.
    data["generatedFiles"] = True
    data["tinyPictures"] = bool(plan.get("tinyPictures"))
    data["files"] = {k: v for k, v in data.get("files", {}).items() if k == "SkinImages.zip"}


def generate_history(data, plan):
    """Submitted orders with their lines, one hour apart going back from "newest"."""
    rng = random.Random(plan["seed"])
    by_id = {p["productID"]: p for p in data.get("products", [])}
    newest = datetime.datetime.strptime(plan["newest"], "%Y-%m-%d %H:%M:%S")
    account = plan["account"]
    vendor = next((a.get("vendor_id", "0") for a in data["accounts"] if a["accountId"] == account), "0")
    customer = (data.get("customers") or [{}])[0]
    orders = []
    line_id = plan["firstOrderId"] * 10
    for i in range(plan["orders"]):
        order_id = plan["firstOrderId"] + i
        made = newest - datetime.timedelta(hours=i * 7 + 1)
        when = made.strftime(ORDER_TIME_FORMAT)
        lines = []
        subtotal = 0.0
        for _ in range(rng.randint(1, 3)):
            product = by_id.get(rng.choice(plan["products"]), {})
            qty = rng.randint(1, 5)
            price = float(product.get("price", 10.0))
            subtotal += price * qty
            line_id += 1
            lines.append({"order_item_id": line_id, "order_id": order_id, "customer_info_id":
                          customer.get("customerInfoId", ""), "vendor_id": 0,
                          "product_id": product.get("productID", 0), "order_item_sku": product.get("productSKU", ""),
                          "order_item_name": product.get("productName", ""), "product_quantity": qty,
                          "product_item_price": price, "product_final_price": price,
                          "order_item_currency": product.get("currency", "USD"),
                          "order_item_subtotal": round(price * qty, 2), "order_status": "1", "cdate": when,
                          "mdate": when, "product_attribute": "", "discountRate": 100.0})
        order = {"order_id": order_id, "customer_id": customer.get("customerId", 0),
                 "customer_info_id": customer.get("customerInfoId", ""),
                 "customer_name": customer.get("customerName", ""), "vendor_id": int(vendor),
                 # Numbered as the device numbers its orders: the account and the time made.
                 "order_number": "%s_%s" % (account, made.strftime("%y%m%d%H%M%S")),
                 "order_total": round(subtotal, 2), "order_subtotal": round(subtotal, 2), "order_tax": 0.0,
                 "order_tax_details": "", "order_shipping": 0.0, "order_shipping_tax": 0.0, "coupon_discount": 0.0,
                 "coupon_code": "", "order_discount": round(subtotal, 2), "order_currency": "USD", "order_status": 1, "cdate": when,
                 "mdate": when, "ship_method": "", "customer_note": "", "ip_address": "", "uploaded": 1,
                 "signature": "", "address": "", "city": "", "state": "", "zip_code": "", "phone": "",
                 "bankAccount": "", "discountRate": 100.0}
        orders.append({"account": account, "order": order, "items": lines})
    return {"orders": orders}


# --- Files ----------------------------------------------------------------------------------

def _seed_of(name):
    return int.from_bytes(hashlib.sha256(name.encode("utf-8")).digest()[:8], "big")


def make_jpeg(name, width, height):
    from PIL import Image, ImageDraw
    rng = random.Random(_seed_of(name))
    background = tuple(rng.randint(40, 220) for _ in range(3))
    image = Image.new("RGB", (width, height), background)
    draw = ImageDraw.Draw(image)
    for _ in range(6):
        x0, y0 = rng.randrange(width), rng.randrange(height)
        x1, y1 = min(width, x0 + rng.randint(8, width)), min(height, y0 + rng.randint(8, height))
        draw.rectangle((x0, y0, x1, y1), fill=tuple(rng.randint(0, 255) for _ in range(3)))
    draw.text((4, 4), name, fill=(255, 255, 255))
    out = io.BytesIO()
    image.save(out, "JPEG", quality=80)
    return out.getvalue()


def make_logo(name, width, height, client):
    """A company logo: the client's name in bold on white beside a coloured mark."""
    from PIL import Image, ImageDraw, ImageFont
    image = Image.new("RGBA", (width, height), (255, 255, 255, 0))
    draw = ImageDraw.Draw(image)
    mark = (28, 84, 150, 255)
    side = height * 3 // 4
    top = (height - side) // 2
    draw.rounded_rectangle((4, top, 4 + side, top + side), radius=side // 5, fill=mark)
    draw.polygon([(4 + side // 4, top + side * 3 // 4), (4 + side // 2, top + side // 4),
                  (4 + side * 3 // 4, top + side * 3 // 4)], fill=(255, 255, 255, 255))
    try:
        font = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", height // 3)
    except OSError:
        font = ImageFont.load_default()
    draw.text((12 + side, height // 2), client, fill=mark, font=font, anchor="lm")
    out = io.BytesIO()
    image.save(out, "PNG")
    return out.getvalue()


def make_png(name, width, height):
    from PIL import Image, ImageDraw
    rng = random.Random(_seed_of(name))
    image = Image.new("RGBA", (width, height), tuple(rng.randint(0, 255) for _ in range(3)) + (255,))
    ImageDraw.Draw(image).text((4, 4), os.path.basename(name), fill=(255, 255, 255, 255))
    out = io.BytesIO()
    image.save(out, "PNG")
    return out.getvalue()


def make_pdf(text, pad_to=0):
    """A one-page PDF with one line of text, its cross-reference table at the right offsets;
    comment lines after the header bring it to about pad_to bytes (large downloads)."""
    safe = text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")
    stream = ("BT /F1 24 Tf 72 720 Td (%s) Tj ET" % safe).encode("latin-1", "replace")
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
        b"/Resources << /Font << /F1 5 0 R >> >> >>",
        b"<< /Length %d >>\nstream\n" % len(stream) + stream + b"\nendstream",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    out = bytearray(b"%PDF-1.4\n")
    filler = hashlib.sha256(text.encode("utf-8")).hexdigest().encode("ascii")
    while len(out) + 1200 < pad_to:
        out += b"%" + filler * 15 + b"\n"
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


def make_skin(entries, client=""):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
        for entry, size in sorted(entries.items()):
            info = zipfile.ZipInfo(entry, date_time=(2025, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            if client and os.path.basename(entry).startswith("homelogo"):
                picture = make_logo(entry, size["width"], size["height"], client)
            else:
                picture = make_png(entry, size["width"], size["height"])
            archive.writestr(info, picture)
    return out.getvalue()


_video = None
_video_lock = threading.Lock()


def make_video():
    """A three-second VP8 clip in WebM (Theora in Ogg where VP8 is missing), else placeholder
    bytes; made once."""
    global _video
    with _video_lock:
        if _video is not None:
            return _video
        work = tempfile.mkdtemp(prefix="backend-video-")
        target = os.path.join(work, "demo.webm")
        commands = []
        if shutil.which("gst-launch-1.0"):
            source = ["videotestsrc", "num-buffers=30", "!", "video/x-raw,width=160,height=120,framerate=10/1", "!"]
            commands.append(["gst-launch-1.0", "-q"] + source + ["vp8enc", "!", "webmmux", "!", "filesink",
                                                               "location=" + target])
            commands.append(["gst-launch-1.0", "-q"] + source + ["theoraenc", "!", "oggmux", "!", "filesink",
                                                               "location=" + target])
        for command in commands:
            try:
                subprocess.run(command, check=True, timeout=20, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                with open(target, "rb") as f:
                    _video = f.read()
                if _video:
                    break
            except (OSError, subprocess.SubprocessError):
                _video = None
        shutil.rmtree(work, ignore_errors=True)
        if not _video:
            _video = b"".join(b"placeholder video frame %04d\n" % i for i in range(256))
        return _video


class FileStore:
    """The file server's content: what a fixture and its applied change sets name, made on
    first request and kept."""

    def __init__(self):
        self._made = {}
        self._lock = threading.Lock()

    def lookup(self, data, skin_version, path, version=1):
        """Bytes for a client-relative path such as "product/ch1.jpg", or None. A version above 1
        is another file of the same kind under the same name (as when the office replaces it):
        another picture, document or text; the skin archive and the video have one version."""
        plan = data.get("files", {}).get(path)
        if plan is None and data.get("generatedFiles"):
            plan = self._generated_plan(data, path)
        if plan is None:
            return None
        if version != 1 and plan["kind"] in ("jpeg", "pdf", "bytes"):
            plan = dict(plan, version=version)
        if plan["kind"] == "skin":
            versions = data.get("skin", {})
            entries = versions.get(str(skin_version)) or versions.get("1", {})
            key = ("skin", json.dumps(entries, sort_keys=True))
            company = data.get("client", {}).get("company_name") or data.get("client", {}).get("clientId", "")
            key = key + (company,)
            maker = lambda: make_skin(entries, company)
        elif plan["kind"] == "video":
            return make_video()
        else:
            key = (path, json.dumps(plan, sort_keys=True))
            suffix = "" if plan.get("version", 1) == 1 else " (version %d)" % plan["version"]
            if plan["kind"] == "jpeg":
                maker = lambda: make_jpeg(os.path.basename(path) + suffix, plan["width"], plan["height"])
            elif plan["kind"] == "pdf":
                maker = lambda: make_pdf(plan.get("text", os.path.basename(path)) + suffix, int(plan.get("padTo", 0)))
            elif plan["kind"] == "bytes":
                maker = lambda: (plan["text"] + suffix).encode("utf-8")
            else:
                return None
        with self._lock:
            made = self._made.get(key)
        if made is None:
            made = maker()
            with self._lock:
                self._made[key] = made
        return made

    @staticmethod
    def _generated_plan(data, path):
        folder, _, name = path.rpartition("/")
        if folder == "product":
            index = data.setdefault("_imageNames", None)
            if index is None:
                index = set()
                for product in data.get("products", []):
                    for image in product.get("images", []):
                        index.add(image.get("fullAddress"))
                        index.add(image.get("thumbAddress"))
                data["_imageNames"] = index
            if name in index:
                # A catalogue of very many pictures may ask for a few bytes each, so that the
                # count of files, not their size, is what a sync of it measures.
                if data.get("tinyPictures"):
                    return {"kind": "bytes", "text": "picture %s\n" % name}
                small = name.endswith("_t.jpg")
                return {"kind": "jpeg", "width": 120 if small else 320, "height": 90 if small else 240}
        if folder == "library/cover_image":
            if any(f.get("coverImage") == name for f in data.get("libraryFiles", [])):
                return {"kind": "jpeg", "width": 160, "height": 200}
        if folder.startswith("library/"):
            if any(f.get("fileName") == name for f in data.get("libraryFiles", [])):
                if name.endswith(".pdf"):
                    return {"kind": "pdf", "text": name}
                if name.endswith((".webm", ".mp4")):
                    return {"kind": "video"}
                return {"kind": "bytes", "text": "document %s\n" % name}
        return None
