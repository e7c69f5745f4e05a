#!/usr/bin/python3
"""A loopback back end that speaks the application's server protocol from fixture data.

Commands on one port, files on another, a request log, and fault modes set through
POST /__control. See README.md beside this file for what it answers and why."""

import argparse
import copy
import datetime
import email.utils
import fnmatch
import gzip
import hashlib
import http.server
import json
import os
import secrets
import socket
import struct
import sys
import threading
import time
import urllib.parse
import zlib

# The source tree stays as checked out: no byte-code cache beside the fixtures module.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fixtures  # noqa: E402
from customers import ADDRESS_KEYS, CONTACT_KEYS, CUSTOMER_TABLES, upload_customers  # noqa: E402
from wire import BadRequest, Rejected, canonical, envelope, is_int  # noqa: E402

HEADS = ("Vendor?", "Component?", "SyncServer?", "SyncServer;", "SyncClient;")
FILE_FOLDERS = ("product", "CatalogImages", "icon", "library/cover_image", "library/pdf", "library/vedio",
                "library/excel", "library/word", "library/keynote")
# (head, methodName) -> command; syncData commands are told apart further by their parameters.
METHODS = {
    ("Vendor?", "login"): "258",
    ("Component?", "loadConfigurationData"): "260",
    ("Component?", "getRunTimeConfig"): "261",
    ("Vendor?", "checkDeviceStatus"): "262",
    ("SyncServer?", "checkAppVersion"): "263",
    ("Vendor?", "getuserinfo"): "265",
    ("SyncServer;", "getorderhistory"): "265-history",
    ("SyncServer;", "syncData"): "sync",
    ("SyncServer;", "syncDataFinished"): "517",
    ("SyncServer;", "syncFileFinished"): "519",
    ("SyncClient;", "syncData"): "upload",
}
COMMAND_HEADS = {"258": "Vendor?", "260": "Component?", "261": "Component?", "262": "Vendor?", "263": "SyncServer?",
                 "265": "Vendor?", "265-history": "SyncServer;", "513": "SyncServer;", "515": "SyncServer;",
                 "516": "SyncServer;", "517": "SyncServer;", "518": "SyncClient;", "519": "SyncServer;",
                 "520": "SyncClient;"}
REQUIRED = {
    "258": ("version", "accountId", "deviceId", "password", "clientId", "firstLogin"),
    "260": ("clientId",), "261": ("clientId",),
    "262": ("accountId", "deviceId", "clientId"),
    "263": ("version",),
    "265": ("accountId", "clientId"),
    "265-history": ("accountId", "clientId", "baseTime", "numberOfOrder"),
    "sync": ("accountId", "clientId", "deviceId", "syncType", "isFull"),
    "517": ("accountId", "clientId", "tableType"),
    "519": ("accountId", "clientId", "fileIds"),
    "upload": ("accountId", "clientId", "syncData"),
}
SESSION_COOKIE = "brivanta_session"
# How long a device keeps its session cookie: thirty days.
SESSION_SECONDS = 30 * 24 * 3600
SYNC_TYPES = {"product": "513", "file": "515", "customer": "516"}
RAW_PRESETS = {
    "twoResults": '{"content":{},"results":[{"status":"200","detail":"","message":""},'
                  '{"status":"101","detail":"","message":""}]}',
    "noStatus": '{"content":{},"results":[{"detail":"no status here","message":""}]}',
    "numberStatus": '{"content":{},"results":[{"status":200,"detail":"","message":""}]}',
    "html": "<html><head><title>Gateway</title></head><body><h1>Service unavailable</h1></body></html>",
}
FAULT_KINDS = ("status", "raw", "drop", "delay", "slow", "truncate", "notFound", "error500", "ignoreRange",
               "wrongOffset", "gzip", "chunked", "corrupt", "gzipBomb", "endless", "noValidators", "version")
# Last-Modified of a served file: a date of its own for every content, within ten years of this.
FILE_DATES_FROM = 1420070400  # 2015-01-01 00:00:00 UTC
_validators = {}
_validators_lock = threading.Lock()


def file_validators(data):
    """The ETag (a strong tag of the content) and Last-Modified of a file's bytes: another content
    under the same name shows other validators, as an ordinary web server's do. Kept for large
    contents, with the bytes, so that a large file is not hashed at every request."""
    large = len(data) >= (1 << 20)
    if large:
        with _validators_lock:
            kept = _validators.get(id(data))
            if kept is not None and kept[0] is data:
                return dict(kept[1])
    digest = hashlib.sha256(data).hexdigest()
    seconds = FILE_DATES_FROM + int(digest[32:40], 16) % (10 * 365 * 86400)
    made = {"ETag": '"%s"' % digest[:32], "Last-Modified": email.utils.formatdate(seconds, usegmt=True)}
    if large:
        with _validators_lock:
            if len(_validators) >= 64:
                _validators.clear()
            _validators[id(data)] = (data, made)
    return dict(made)


_bombs = {}
_bombs_lock = threading.Lock()


def gzip_bomb(size):
    """A gzip body of a JSON envelope's opening followed by blanks, `size` bytes inflated; made once per size.
    After a full flush deflate starts afresh, so each MiB of blanks compresses to the same bytes."""
    with _bombs_lock:
        made = _bombs.get(size)
        if made is None:
            head = b'{"content":{"product":['
            blank = b" " * (1 << 20)
            size = max(size, len(head))
            count, rest = divmod(size - len(head), len(blank))
            packer = zlib.compressobj(9, zlib.DEFLATED, -15)
            first = packer.compress(head) + packer.flush(zlib.Z_FULL_FLUSH)
            repeated = packer.compress(blank) + packer.flush(zlib.Z_FULL_FLUSH) if count else b""
            last = packer.compress(blank[:rest]) + packer.flush(zlib.Z_FINISH)
            crc = zlib.crc32(head)
            for _ in range(count):
                crc = zlib.crc32(blank, crc)
            crc = zlib.crc32(blank[:rest], crc)
            made = b"".join([b"\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\xff", first, repeated * count, last,
                             struct.pack("<II", crc & 0xFFFFFFFF, size & 0xFFFFFFFF)])
            _bombs[size] = made
        return made


# The order upload's document: every key of an order and of a line, with its type.
ORDER_KEYS = {
    "order_id": "integer", "customer_id": "integer", "customer_name": "text", "customer_info_id": "text",
    "vendor_id": "integer", "order_number": "text", "order_total": "number", "order_subtotal": "number",
    "order_tax": "number", "order_tax_details": "text", "order_shipping": "number", "order_shipping_tax": "number",
    "coupon_discount": "number", "coupon_code": "text", "order_discount": "number", "order_currency": "text",
    "order_status": "integer", "cdate": "text", "mdate": "text", "ship_method": "text", "customer_note": "text",
    "ip_address": "text", "uploaded": "boolean", "discount_rats": "number", "signature": "text", "address": "text",
    "city": "text", "state": "text", "zip_code": "text", "phone": "text", "bankAccount": "text",
    "order_item": "object",
}
LINE_KEYS = {
    "order_item_id": "integer", "order_id": "integer", "customer_info_id": "text", "vendor_id": "integer",
    "product_id": "integer", "order_item_sku": "text", "order_item_name": "text", "product_quantity": "integer",
    "product_item_price": "number", "product_final_price": "number", "order_item_currency": "text",
    "order_item_subtotal": "number", "order_status": "integer", "cdate": "text", "mdate": "text",
    "product_attribute": "text", "discount_rat": "number",
}
KINDS = {
    "integer": lambda v: is_int(v),
    "number": lambda v: isinstance(v, (int, float)) and not isinstance(v, bool),
    "text": lambda v: isinstance(v, str),
    "boolean": lambda v: isinstance(v, bool),
    "object": lambda v: isinstance(v, dict),
    "array": lambda v: isinstance(v, list),
}


def check_keys(row, keys, where):
    """Raises Rejected for the first key the document lacks, does not have, or holds as another type."""
    if not isinstance(row, dict):
        raise Rejected(where, "not an object")
    for key in row:
        if key not in keys:
            raise Rejected(key, "unknown key in %s" % where)
    for key, kind in keys.items():
        if key not in row:
            raise Rejected(key, "missing from %s" % where)
        if not KINDS[kind](row[key]):
            raise Rejected(key, "not a%s %s in %s" % ("n" if kind[0] in "aeiou" else "", kind, where))


def check_order_document(document):
    orders = document["order"]
    if not isinstance(orders, list):
        raise Rejected("order", "not an array")
    for i, order in enumerate(orders):
        check_keys(order, ORDER_KEYS, "order %d" % i)
        check_keys(order["order_item"], {"order_items": "array"}, "order %d's order_item" % i)
        for j, line in enumerate(order["order_item"]["order_items"]):
            check_keys(line, LINE_KEYS, "line %d of order %d" % (j, i))


def dump(value):
    return json.dumps(value, ensure_ascii=False, separators=(",", ":")).encode("utf-8")


class State:
    """Everything a run of the server holds; one lock guards it all."""

    def __init__(self, fixture_name):
        self.lock = threading.RLock()
        self.files = fixtures.FileStore()
        self.log = []
        self.start_fixture = fixture_name
        # (file-name pattern, path) pairs; the first match serves that file's bytes.
        self.picture_files = []
        self.skin_file = None
        self._picture_bytes = {}
        self.reset(fixture_name)

    def picture_file(self, path):
        with self.lock:
            data = self._picture_bytes.get(path)
            if data is None:
                with open(path, "rb") as f:
                    data = self._picture_bytes[path] = f.read()
            return data

    def reset(self, name):
        data = fixtures.load(name)
        self.fixture = name
        self.data = data
        self.per_run = copy.deepcopy(data.get("perRun", {}))
        self.faults = []
        self.applied_change_sets = []
        self.pending = {"product": {"products": set(), "categories": set(), "productFields": set()},
                        "file": {"libraryFiles": set(), "libraryCategories": set()},
                        "customer": {"customers": set()}}
        self.replaced_files = []
        self.orders = []
        for entry in data.get("history", {}).get("orders", []):
            self.orders.append({"account": entry["account"], "order": entry["order"], "items": entry["items"],
                                "received": 0, "source": "fixture"})
        self.next_order_id = max([o["order"]["order_id"] for o in self.orders] + [5000]) + 1
        self.next_line_id = max([i["order_item_id"] for o in self.orders for i in o["items"]] + [50000]) + 1
        # Keyed by (account, device, table, local id): each device numbers its new rows from -1.
        self.customer_uploads = {}
        # Session id to (account, device), from logins.
        self.sessions = {}
        # Customer uploads that named no device so far: each is keyed apart, so none is another's re-send.
        self.unknown_devices = 0
        self.next_ids = {
            "brivanta_customer": max([c["customerId"] for c in data.get("customers", [])] + [9000]) + 1,
            "brivanta_customer_address": max([a["id"] for a in data.get("addresses", [])] + [0]) + 1,
            "brivanta_customer_attribute": max([a["attributeId"] for c in data.get("customers", [])
                                                for a in c.get("attributes", [])] + [0]) + 1,
            "brivanta_customer_contact": max([c["contactId"] for c in data.get("contacts", [])] + [0]) + 1,
        }
        self.confirmations = {"517": [], "519": []}

    # --- accounts -------------------------------------------------------------------------

    def client_matches(self, client_id):
        return client_id.lower() == self.data["client"]["clientId"].lower()

    def account(self, account_id):
        return next((a for a in self.data["accounts"] if a["accountId"] == account_id), None)

    def refusal(self, which):
        return self.data.get("refusals", {}).get(which, "115")

    def device_of(self, account_id, session, params):
        """The device a request shows it comes from: the login of the session its cookie names,
        else of its "jsessionId", else its own "deviceId"; None when it shows none. Never another
        request's device: two tablets of one account interleave."""
        for name in (session, params.get("jsessionId")):
            known = self.sessions.get(name) if isinstance(name, str) else None
            if known is not None and known[0] == account_id:
                return known[1]
        device = params.get("deviceId")
        return device if isinstance(device, str) and device else None

    def check_account(self, params, need_account=True):
        """None when the client (and the account) are known, else the refusal status."""
        if not self.client_matches(params["clientId"]):
            return self.refusal("unknownClient")
        if need_account and self.account(params["accountId"]) is None:
            return self.refusal("unknownUser")
        return None

    # --- change sets ----------------------------------------------------------------------

    def apply_change_set(self, name):
        change = self.data.get("changeSets", {}).get(name)
        if change is None:
            raise BadRequest("no change set named %r" % name)
        groups = {"products": "product", "categories": "product", "productFields": "product",
                  "libraryFiles": "file", "libraryCategories": "file", "customers": "customer"}
        for table, rows in change.get("upsert", {}).items():
            touched = fixtures.upsert_rows(self.data, table, rows)
            if table in groups:
                self.pending[groups[table]][table].update(touched)
            elif table in ("addresses", "contacts"):
                key = "customer_id" if table == "addresses" else "customerId"
                self.pending["customer"]["customers"].update(r[key] for r in rows)
        # The office deletes a customer's address or contact: the customer is changed.
        for table, ids in change.get("delete", {}).items():
            key, owner = {"addresses": ("id", "customer_id"), "contacts": ("contactId", "customerId")}[table]
            rows = self.data.get(table, [])
            self.pending["customer"]["customers"].update(r[owner] for r in rows if r[key] in ids)
            self.data[table] = [r for r in rows if r[key] not in ids]
        for file_id in change.get("replacedLibraryFiles", []):
            if file_id not in self.replaced_files:
                self.replaced_files.append(file_id)
        self.data.setdefault("files", {}).update(change.get("files", {}))
        self.data.pop("_imageNames", None)
        self.applied_change_sets.append(name)

    def edit_customer(self, edit, by_id=None):
        """The office edits a customer between two syncs: attribute values by field id, its name
        ("customerName"), fields of its row by their 516 names, and its addresses and contacts by
        id (the fields to set, or null: the row deleted)."""
        customer_id = edit.get("customerId") if isinstance(edit, dict) else None
        if by_id is None:
            by_id = {c["customerId"]: c for c in self.data.get("customers", [])}
        customer = by_id.get(customer_id) if isinstance(customer_id, int) else None
        parts = ("attributes", "fields", "addresses", "contacts")
        given = [p for p in parts if p in edit] if isinstance(edit, dict) else []
        if (customer is None or not (given or "customerName" in edit)
                or not all(isinstance(edit[p], dict) for p in given)):
            raise BadRequest("a customer edit needs a stored customerId and attributes by field id, "
                             "a name, fields, addresses or contacts")
        if "customerName" in edit:
            name = edit["customerName"]
            if not isinstance(name, str) or not name:
                raise BadRequest("a customer's new name is a text that is not empty")
            customer["customerName"] = name
        for field, value in edit.get("attributes", {}).items():
            if not field.isdigit() or not isinstance(value, str):
                raise BadRequest("attributes are field ids with text values")
            rows = customer.setdefault("attributes", [])
            row = next((a for a in rows if a["attributeFieldsId"] == int(field)), None)
            if row is None:
                row = {"attributeId": self.next_ids["brivanta_customer_attribute"], "attributeFieldsId": int(field)}
                self.next_ids["brivanta_customer_attribute"] += 1
                rows.append(row)
            row["attributeValue"] = value
        for key, value in edit.get("fields", {}).items():
            if key not in OFFICE_CUSTOMER_FIELDS:
                raise BadRequest("%r is no field of a customer the office edits" % key)
            customer[key] = value
        for table, id_key, owner_key, keys in (("addresses", "id", "customer_id", ADDRESS_KEYS),
                                               ("contacts", "contactId", "customerId", tuple(CONTACT_KEYS))):
            for row_id, change in edit.get(table, {}).items():
                rows = self.data.get(table, [])
                row = next((r for r in rows if str(r[id_key]) == row_id and r[owner_key] == customer_id), None)
                if row is None or not (change is None or isinstance(change, dict) and set(change) <= set(keys)):
                    raise BadRequest("%s of a customer edit are the customer's own, by id, with their fields or null"
                                     % table)
                if change is None:
                    self.data[table] = [r for r in rows if r is not row]
                else:
                    row.update(change)
        self.pending["customer"]["customers"].add(customer_id)

    def set_order_status(self, number, status):
        """The office moves an order on: its status and its lines' change, and the history says so."""
        stored = next((o for o in self.orders if o["order"].get("order_number") == number), None)
        if stored is None or not is_int(status):
            raise BadRequest("orderStatus needs a stored order number and a whole-number status")
        stored["order"]["order_status"] = status
        for line in stored["items"]:
            line["order_status"] = status

    # --- faults ---------------------------------------------------------------------------

    def add_fault(self, plan):
        if not isinstance(plan, dict) or plan.get("kind") not in FAULT_KINDS or not isinstance(
                plan.get("target"), str):
            raise BadRequest("a fault needs a target text and a kind among %s" % ", ".join(FAULT_KINDS))
        times = plan.get("times")
        if times is not None and (not is_int(times) or times < 1):
            raise BadRequest("times must be a whole number of at least 1, or absent for always")
        if plan["kind"] == "raw" and not isinstance(plan.get("body"), str) and plan.get("preset") not in RAW_PRESETS:
            raise BadRequest("a raw fault needs a body text or a preset among %s" % ", ".join(RAW_PRESETS))
        fault = dict(plan)
        fault["remaining"] = times
        fault["used"] = 0
        self.faults.append(fault)

    def take_fault(self, target, is_file, kinds=None, head=None, stage="body"):
        """The first fault for this command or file that still has uses, counted as used."""
        for fault in self.faults:
            if kinds is not None and fault["kind"] not in kinds:
                continue
            if fault["kind"] == "drop" and fault.get("after", "body") != stage:
                continue
            if fault["remaining"] == 0:
                continue
            wanted = fault["target"]
            hit = wanted == target or wanted == ("files" if is_file else "commands")
            if not hit and head is not None and not is_file:
                hit = COMMAND_HEADS.get(wanted) == head
            if hit:
                fault["used"] += 1
                if fault["remaining"] is not None:
                    fault["remaining"] -= 1
                return fault
        return None

    def snapshot(self):
        return {
            "fixture": self.fixture,
            "changeSets": self.applied_change_sets,
            "orders": [{"order_number": o["order"].get("order_number"), "generateId": o["order"]["order_id"],
                        "account": o["account"], "customerId": o["order"].get("customer_id"),
                        "received": o["received"], "lines": len(o["items"]),
                        "status": o["order"].get("order_status"),
                        "quantities": [line.get("product_quantity") for line in o["items"]],
                        "replaced": o.get("replaced", 0), "source": o["source"]} for o in self.orders],
            "customers": [dict(entry, table=key[2], account=key[0], device=key[1], localId=key[3])
                          for key, entries in self.customer_uploads.items() for entry in entries],
            "serverCustomers": [dict(c, addresses=[a for a in self.data.get("addresses", [])
                                                   if a["customer_id"] == c["customerId"]],
                                     contacts=[k for k in self.data.get("contacts", [])
                                               if k["customerId"] == c["customerId"]])
                                for c in self.data.get("customers", [])],
            "confirmations": self.confirmations,
            "pending": {group: {t: sorted(ids) for t, ids in tables.items()} for group, tables in self.pending.items()},
            "replacedLibraryFiles": self.replaced_files,
            "faults": [{k: v for k, v in f.items()} for f in self.faults],
            "perRun": self.per_run,
        }


# --- Commands ---------------------------------------------------------------------------------

def read_parameters(body):
    try:
        document = json.loads(body.decode("utf-8"))
    except (UnicodeDecodeError, ValueError):
        raise BadRequest("the body is not JSON")
    root = document.get("root") if isinstance(document, dict) else None
    params = root.get("parameters") if isinstance(root, dict) else None
    if not isinstance(params, dict):
        raise BadRequest('the body has no {"root":{"parameters":{...}}}')
    return params


def recognise(head, params):
    """The command code (the fault and log key) for a head and its parameters."""
    method = params.get("methodName")
    if not isinstance(method, str):
        raise BadRequest("no methodName text")
    command = METHODS.get((head, method))
    if command is None:
        raise BadRequest("unknown method %r after head %r" % (method, head))
    for key in REQUIRED[command]:
        if not isinstance(params.get(key), str):
            raise BadRequest("parameter %r is missing or not a text" % key)
    if command == "sync":
        command = SYNC_TYPES.get(params["syncType"])
        if command is None:
            raise BadRequest("unknown syncType %r" % params["syncType"])
        if params["isFull"] not in ("true", "false"):
            raise BadRequest('isFull must be "true" or "false"')
    elif command == "upload":
        try:
            document = json.loads(params["syncData"])
        except ValueError:
            raise BadRequest("syncData is not JSON")
        if isinstance(document, dict) and set(document) == {"order"}:
            command = "518"
        elif isinstance(document, dict) and set(document) & set(CUSTOMER_TABLES):
            command = "520"
        else:
            raise BadRequest('syncData holds neither {"order":[...]} nor the four customer tables')
    return command


def run_command(state, command, params, notes, session=None):
    """The answer envelope of one recognised command; stores what uploads bring. `session` is
    the session cookie the request carried, if any."""
    if command == "263":
        return envelope("200", copy.deepcopy(state.per_run.get("version", {})))
    refusal = state.check_account(params, need_account=command not in ("260", "261"))
    if refusal is not None and command != "258":
        return envelope(refusal)
    data = state.data
    if command == "258":
        return login(state, params, notes)
    if command == "260":
        return envelope("200", {"configuration": data["configuration"], "appConfiguration": data["appConfiguration"],
                                "settings": data["settings"]})
    if command == "261":
        return envelope("200", {"appConfiguration": data["appConfiguration"]})
    if command == "262":
        return envelope(str(state.per_run.get("deviceStatus", "200")))
    if command == "265":
        return envelope("200", user_info(state, state.account(params["accountId"])))
    if command == "265-history":
        return history(state, params)
    if command in ("513", "515", "516"):
        return envelope("200", sync_tables(state, command, params["isFull"] == "true"))
    if command == "517":
        if params["tableType"] not in ("product", "file", "customer", "skin"):
            raise BadRequest("unknown tableType %r" % params["tableType"])
        state.confirmations["517"].append(params["tableType"])
        for ids in state.pending.get(params["tableType"], {}).values():
            ids.clear()
        if params["tableType"] == "file":
            state.replaced_files = []
        return envelope("200")
    if command == "519":
        pieces = params["fileIds"].split(",")
        if not all(p.strip().lstrip("-").isdigit() for p in pieces):
            raise BadRequest("fileIds must be whole numbers joined by ','")
        state.confirmations["519"].extend(p.strip() for p in pieces)
        return envelope("200")
    if command == "518":
        return upload_orders(state, params, json.loads(params["syncData"]), notes)
    if command == "520":
        device = state.device_of(params["accountId"], session, params)
        return upload_customers(state, params, json.loads(params["syncData"]), notes, device)
    raise BadRequest("unhandled command %s" % command)


def user_info(state, account):
    client = state.data["client"]
    return {"email": account.get("email", client.get("email", "")), "company_name": client.get("company_name", ""),
            "link": client.get("link", ""), "user_access": account.get("user_access", 0)}


def login(state, params, notes):
    client = state.data["client"]
    if not state.client_matches(params["clientId"]):
        return envelope(state.refusal("unknownClient"))
    account = state.account(params["accountId"])
    if account is None:
        return envelope(state.refusal("unknownUser"))
    digest = hashlib.md5(account["password"].encode("utf-8")).hexdigest()
    if params["password"] != digest:
        if params["password"].lower() == digest:
            notes.append("password digest in upper case")
        return envelope(state.refusal("wrongPassword"))
    if account.get("devices") and params["deviceId"] not in account["devices"]:
        return envelope(state.refusal("deviceNotAllowed"))
    notes.append("firstLogin %s" % params["firstLogin"])
    content = {"sessionId": secrets.token_hex(16),
               "dataUpdated": state.per_run.get("dataUpdated", 0),
               "skinUpdated": state.per_run.get("skinUpdated", 0),
               "syncAll": state.per_run.get("syncAll", 0)}
    state.sessions[content["sessionId"]] = (account["accountId"], params["deviceId"])
    content.update(user_info(state, account))
    content["vendor"] = {"account": account["accountId"], "clientId": client["clientId"],
                         "device_id": params["deviceId"], "device_token": "", "discount": account.get("discount", "0"),
                         "is_locked": "0", "password": digest, "phone": account.get("phone", ""),
                         "username": account["accountId"], "vendor_group_id": client.get("vendor_group_id", "0"),
                         "vendor_id": str(account.get("vendor_id", "0")),
                         "vendor_state_id": client.get("vendor_state_id", "0")}
    return envelope("200", content)


def sync_tables(state, command, full):
    data = state.data
    if command == "513":
        changed = state.pending["product"]
        pick = lambda table, key: [r for r in data.get(table, []) if full or r[key] in changed[table]]
        return [pick("products", "productID"), pick("categories", "categoryID"),
                pick("productFields", "attributeFieldsId"), data.get("relatedFiles", []), data.get("tags", []),
                data.get("productTags", [])]
    if command == "515":
        changed = state.pending["file"]
        return [[r for r in data.get("libraryFiles", []) if full or r["id"] in changed["libraryFiles"]],
                [r for r in data.get("libraryCategories", []) if full or r["cateID"] in changed["libraryCategories"]],
                {"keyIDS": ",".join(str(i) for i in state.replaced_files)}]
    changed = state.pending["customer"]["customers"]
    customers = [c for c in data.get("customers", []) if full or c["customerId"] in changed]
    ids = {c["customerId"] for c in customers}
    return [customers, data.get("customerFields", []),
            [a for a in data.get("addresses", []) if a["customer_id"] in ids],
            [c for c in data.get("contacts", []) if c["customerId"] in ids]]


def parse_order_time(text):
    try:
        return datetime.datetime.strptime(text, fixtures.ORDER_TIME_FORMAT)
    except (TypeError, ValueError):
        return None


def history(state, params):
    base_text = params["baseTime"]
    base = None
    if base_text != "":
        try:
            base = datetime.datetime.strptime(base_text, "%Y-%m-%d %H:%M:%S")
        except ValueError:
            raise BadRequest('baseTime must be "yyyy-MM-dd HH:mm:ss" or empty')
    try:
        count = int(params["numberOfOrder"])
    except ValueError:
        raise BadRequest("numberOfOrder is not a whole number")
    if count < 0:
        raise BadRequest("numberOfOrder is negative")
    mine = []
    for entry in state.orders:
        when = parse_order_time(entry["order"].get("cdate")) or entry.get("arrived")
        if entry["account"] == params["accountId"] and when is not None and (base is None or when < base):
            mine.append((when, entry["order"]["order_id"], entry))
    mine.sort(key=lambda t: (t[0], t[1]), reverse=True)
    chosen = [entry for _, _, entry in mine[:count]]
    return envelope("200", {"orders": [e["order"] for e in chosen],
                            "items": [line for e in chosen for line in e["items"]]})


def upload_orders(state, params, document, notes):
    check_order_document(document)
    orders = document["order"]
    for order in orders:
        if not order["order_number"]:
            raise BadRequest("an order with an empty order_number")
    answer = []
    for order in orders:
        number = order["order_number"]
        account = params["accountId"]
        # An order number is unique within the company: it is the order's identity whoever
        # sends it, and a known server id names it as well.
        stored = next((o for o in state.orders if o["order"].get("order_number") == number), None)
        if stored is None and order["order_id"] > 0:
            stored = next((o for o in state.orders if o["order"]["order_id"] == order["order_id"]), None)
        if stored is not None and stored["account"] != account:
            notes.append("order %s, stored under %s, received from %s" % (number, stored["account"], account))
        order_id = stored["order"]["order_id"] if stored is not None else state.next_order_id
        if parse_order_time(order.get("cdate")) is None:
            notes.append('order %s: cdate %r is not "MM/dd/yyyy HH:mm:ss"; the history places it by its arrival'
                         % (number, order.get("cdate")))
        row = {column: order.get(column, "") for column in fixtures.ORDER_COLUMNS}
        row.update({"order_id": order_id, "uploaded": 1, "discountRate": order.get("discount_rats", 0)})
        items = order["order_item"]["order_items"]
        if stored is not None:
            stored["received"] += 1
            old_lines = [{k: v for k, v in line.items() if k not in ("order_item_id", "order_id")}
                         for line in stored["items"]]
            new_lines = [dict({column: item.get(column, "") for column in fixtures.LINE_COLUMNS
                               if column not in ("order_item_id", "order_id")},
                              discountRate=item.get("discount_rat", 0)) for item in items]
            if stored["account"] == account and canonical(stored["order"]) == canonical(row) and \
                    canonical(old_lines) == canonical(new_lines):
                notes.append("order %s received again unchanged: answered its id %d" % (number, order_id))
                answer.append({"id": number, "generateId": order_id})
                continue
            notes.append("order %s received again: its content and lines replaced under id %d" % (number, order_id))
        else:
            state.next_order_id += 1
        lines = []
        for item in items:
            line = {column: item.get(column, "") for column in fixtures.LINE_COLUMNS}
            line.update({"order_item_id": state.next_line_id, "order_id": order_id,
                         "discountRate": item.get("discount_rat", 0)})
            state.next_line_id += 1
            lines.append(line)
        if stored is not None:
            stored["order"] = row
            stored["items"] = lines
            stored["account"] = account
            stored["replaced"] = stored.get("replaced", 0) + 1
        else:
            state.orders.append({"account": account, "order": row, "items": lines, "received": 1,
                                 "source": "upload", "arrived": datetime.datetime.now().replace(microsecond=0)})
        answer.append({"id": number, "generateId": order_id})
    return envelope("200", {"orders": answer})


OFFICE_CUSTOMER_FIELDS = ("customerInfoId", "customerName", "customerPublish", "customerOrdering", "customerDiscount")


# --- HTTP -------------------------------------------------------------------------------------

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "BrivantaTestBackend/1"
    sys_version = ""

    def log_message(self, *args):
        pass

    def setup(self):
        super().setup()
        # Headers and body go out in separate writes; without this each answer waits for an ACK
        # (unless the client acknowledges at once). --nagle leaves it so, as some servers do.
        if not self.server.owner.nagle:
            self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        with self.server.counter_lock:
            self.server.connections += 1
            self.connection_id = self.server.connections
        self.served_on_connection = 0

    def do_GET(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def do_HEAD(self):
        self.dispatch()

    # --- reading ---

    def read_body(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            body = bytearray()
            while True:
                size_line = self.rfile.readline(1024)
                size = int(size_line.split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline(1024) not in (b"\r\n", b"\n", b""):
                        pass
                    return bytes(body)
                body += self.rfile.read(size)
                self.rfile.readline(16)
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    # --- the request's road ---

    def dispatch(self):
        state = self.server.state
        self.logged = False  # one handler serves every request of a kept-alive connection
        self.served_on_connection += 1
        self.record = {"time": datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="milliseconds"),
                       "port": self.server.server_address[1], "role": self.server.role,
                       "connection": self.connection_id, "onConnection": self.served_on_connection,
                       "request": self.requestline,
                       "headers": dict(self.headers.items()), "parameters": None, "syncData": None,
                       "bodySha256": None, "bodyLength": 0, "command": None, "answer": None, "notes": []}
        try:
            if self.server.role == "files":
                self.serve_file(state)
            else:
                self.serve_command(state)
        except (BrokenPipeError, ConnectionResetError):
            self.record["answer"] = self.record["answer"] or {"http": None, "closed": "by the peer"}
            self.close_connection = True
        except Exception as error:  # a fault of the back end itself: said so, never hidden
            self.record["notes"].append("back end error: %r" % error)
            self.close_connection = True
            try:
                self.send(500, ("back end error: %r\n" % error).encode("utf-8"), "text/plain")
            except OSError:
                pass
        finally:
            self.write_log()

    def write_log(self):
        """Appends this request's log line once. Answers log it before they go out, so a caller
        that reads the log right after its answer always finds its own request there."""
        if getattr(self, "logged", False):
            return
        self.logged = True
        with self.server.state.lock:
            self.server.state.log.append(json.dumps(self.record, ensure_ascii=False, default=str))

    def drop_fault(self, state, target, is_file, head=None, stage="body"):
        """Closes the connection when a drop fault of this stage applies; True when it did."""
        with state.lock:
            fault = state.take_fault(target, is_file, kinds=("drop",), head=head, stage=stage)
        if fault is None:
            return False
        self.record["answer"] = {"http": None, "fault": "drop", "closed": stage}
        self.close_connection = True
        return True

    def hold(self, target, fault):
        """A delay fault: says at once that the request is held (--held-file), then waits."""
        held_file = self.server.owner.held_file
        if held_file:
            with self.server.state.lock, open(held_file, "a", encoding="utf-8") as f:
                f.write("%s\n" % target)
        time.sleep(float(fault.get("seconds", 1)))

    def note_body(self, body):
        self.record["bodySha256"] = hashlib.sha256(body).hexdigest()
        self.record["bodyLength"] = len(body)

    def serve_command(self, state):
        raw_path = self.path
        if raw_path.startswith("/__"):
            body = self.read_body()
            self.note_body(body)
            return self.serve_control(state, raw_path, body)
        prefix = "/" + self.server.path_segment + "/"
        head = raw_path[len(prefix):] if raw_path.startswith(prefix) else None
        # A drop "after the head" closes before the body is read; only the head is known then.
        if head in HEADS and self.drop_fault(state, None, False, head=head, stage="head"):
            self.record["command"] = "head " + head
            return
        body = self.read_body()
        self.note_body(body)
        if self.command != "POST" or head is None:
            self.record["command"] = None
            return self.send(404, b"Not found\n", "text/plain")
        try:
            if head not in HEADS:
                raise BadRequest("unknown head %r" % head)
            params = read_parameters(body)
            self.record["parameters"] = params
            command = recognise(head, params)
            self.record["command"] = command
            if command in ("518", "520"):
                self.record["syncData"] = json.loads(params["syncData"])
        except BadRequest as error:
            self.record["notes"].append(str(error))
            return self.answer_envelope(envelope("115", "", str(error)), None)
        if self.drop_fault(state, command, False):
            return
        with state.lock:
            fault = state.take_fault(command, False, kinds=("status", "raw", "delay", "slow", "truncate", "gzip",
                                                            "chunked", "error500", "notFound", "gzipBomb", "endless"))
        if fault is not None and fault["kind"] == "delay":
            self.hold(command, fault)
        if fault is not None and fault["kind"] == "endless":
            return self.answer_endless(b'{"content":', fault)
        if fault is not None and fault["kind"] in ("raw", "error500", "notFound", "gzipBomb"):
            return self.answer_fault_body(fault)
        if fault is not None and fault["kind"] == "status" and not fault.get("keepContent"):
            return self.answer_envelope(envelope(str(fault["status"])), fault)
        with state.lock:
            try:
                answer = run_command(state, command, params, self.record["notes"], self.session_cookie())
            except BadRequest as error:
                self.record["notes"].append(str(error))
                answer = envelope("115", "", str(error))
            except Rejected as error:
                self.record["notes"].append(str(error))
                self.record["answer"] = {"rejected": error.key}
                return self.send(400, dump({"error": str(error), "key": error.key}), "application/json")
        if fault is not None and fault["kind"] == "status":
            answer["results"][0]["status"] = str(fault["status"])
        extra = None
        if command == "258" and answer["results"][0]["status"] == "200":
            # The session's cookie: later requests name no session otherwise. It outlives the
            # program's run, so that an upload after an offline login still names its device.
            extra = {"Set-Cookie": "%s=%s; Path=/; Max-Age=%d; HttpOnly" % (
                SESSION_COOKIE, answer["content"]["sessionId"], SESSION_SECONDS)}
        self.answer_envelope(answer, fault, extra)

    def session_cookie(self):
        for header in self.headers.get_all("Cookie") or []:
            for pair in header.split(";"):
                name, _, value = pair.strip().partition("=")
                if name == SESSION_COOKIE:
                    return value
        return None

    def answer_envelope(self, answer, fault, extra=None):
        self.record["answer"] = {"status": answer["results"][0]["status"] if answer.get("results") else None}
        self.send(200, dump(answer), "application/json;charset=UTF-8", fault, extra)

    def answer_fault_body(self, fault):
        kind = fault["kind"]
        if kind == "raw":
            body = fault["body"] if isinstance(fault.get("body"), str) else RAW_PRESETS[fault["preset"]]
            self.record["answer"] = {"raw": fault.get("preset", "body")}
            return self.send(200, body.encode("utf-8"), "text/html" if body.startswith("<") else "application/json",
                             fault)
        if kind == "gzipBomb":
            self.record["answer"] = {"raw": "gzipBomb"}
            body = gzip_bomb(int(fault.get("inflatesTo", 2 << 30)))
            self.record["answer"].update({"http": 200, "bytes": len(body), "fault": kind})
            self.write_log()
            self.send_response(200)
            self.send_header("Content-Type", "application/json;charset=UTF-8")
            self.send_header("Content-Encoding", "gzip")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        if kind == "error500":
            self.record["answer"] = {}
            return self.send(500, b"<html><body><h1>500 Internal Server Error</h1></body></html>", "text/html", fault)
        long_body = fault.get("size") == "2k"
        body = (b"<html><body>" + b"missing " * 254 + b"</body></html>\n")[:2048] if long_body else b"Not found\n"
        self.record["answer"] = {}
        return self.send(404, body, "text/html" if long_body else "text/plain", fault)

    # --- files ---

    def serve_file(self, state):
        self.record["command"] = "file"
        name, data = self.find_file(state)
        if name is not None and self.drop_fault(state, name, True, stage="head"):
            return
        body = self.read_body() if self.command == "POST" else b""
        self.note_body(body)
        if name is not None and self.drop_fault(state, name, True):
            return
        if data is None:
            self.record["answer"] = {}
            return self.send(404, b"Not found\n", "text/plain")
        with state.lock:
            fault = state.take_fault(name, True, kinds=("slow", "truncate", "notFound", "error500", "ignoreRange",
                                                        "wrongOffset", "gzip", "chunked", "delay", "raw",
                                                        "corrupt", "gzipBomb", "endless", "noValidators",
                                                        "version"))
        if fault is not None and fault["kind"] == "version":
            # The office replaced the file under the same name.
            name, data = self.find_file(state, int(fault.get("version", 2)))
        if fault is not None and fault["kind"] == "delay":
            self.hold(name, fault)
        if fault is not None and fault["kind"] == "endless":
            return self.answer_endless(data, fault)
        if fault is not None and fault["kind"] in ("notFound", "error500", "raw", "gzipBomb"):
            return self.answer_fault_body(fault)
        if fault is not None and fault["kind"] == "corrupt":
            # Whole and framed right, but its middle bytes are garbled.
            garbled = bytearray(data)
            for i in range(len(garbled) // 4, len(garbled) // 2):
                garbled[i] ^= 0x5A
            data = bytes(garbled)
        total = len(data)
        # Every file says which version it is, unless a fault leaves that out.
        plain = fault is not None and (fault["kind"] == "noValidators" or fault.get("validators") is False)
        validators = {} if plain else file_validators(data)
        wanted = self.headers.get("Range")
        if_range = self.headers.get("If-Range")
        # As a server that never looks at If-Range: the range is answered whatever it names.
        blind = fault is not None and fault.get("ifRange") == "ignored"
        if wanted and if_range is not None and not blind and not self.if_range_holds(if_range, validators):
            # The part the client holds is of another version: the whole file, as a 200.
            self.record["notes"].append("If-Range %s does not match: the whole file" % if_range)
            wanted = None
        if wanted and not (fault is not None and fault["kind"] == "ignoreRange"):
            start = self.range_start(wanted, total)
            if start is None:
                self.record["answer"] = {"range": wanted}
                return self.send(416, b"", "text/plain", extra={"Content-Range": "bytes */%d" % total})
            if fault is not None and fault["kind"] == "wrongOffset":
                start = int(fault.get("offset", 0))
            self.record["answer"] = {"range": wanted, "from": start}
            return self.send(206, data[start:], self.content_type(name), fault,
                             extra=dict(validators, **{"Content-Range": "bytes %d-%d/%d" % (start, total - 1, total)}))
        self.record["answer"] = {}
        self.send(200, data, self.content_type(name), fault, extra=validators)

    @staticmethod
    def if_range_holds(value, validators):
        """Whether an If-Range names the file as served: its strong ETag exactly, or its
        Last-Modified date exactly; a weak tag or a file without validators never holds."""
        value = value.strip()
        if value.startswith('"') or value.startswith("W/"):
            return "ETag" in validators and value == validators["ETag"]
        return "Last-Modified" in validators and value == validators["Last-Modified"]

    def answer_endless(self, data, fault):
        """200 without a length, the file (or an envelope's opening) and then filler until the client leaves."""
        rate = int(fault.get("bytesPerSecond", 0))
        self.record["answer"] = {"http": 200, "fault": "endless"}
        self.write_log()
        self.send_response(200)
        self.send_header("Content-Type", self.content_type(self.path))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        filler = b"\0" * 65536
        try:
            self.wfile.write(data)
            while True:
                if rate > 0:
                    step = max(1, rate // 10)
                    self.wfile.write(filler[:step])
                    self.wfile.flush()
                    time.sleep(step / rate)
                else:
                    self.wfile.write(filler)
        except OSError:
            pass

    @staticmethod
    def range_start(header, total):
        """The first byte of "bytes=N-" (or "bytes=N-M", served to the end), or None when unsatisfiable."""
        unit, _, plan = header.partition("=")
        first, _, _ = plan.partition("-")
        if unit.strip() != "bytes" or not first.strip().isdigit():
            return None
        start = int(first)
        return start if start < total else None

    @staticmethod
    def content_type(name):
        ext = os.path.splitext(name)[1].lower()
        return {".jpg": "image/jpeg", ".png": "image/png", ".pdf": "application/pdf", ".mp4": "video/mp4",
                ".webm": "video/webm", ".zip": "application/zip"}.get(ext, "application/octet-stream")

    def find_file(self, state, version=1):
        """(file name, bytes) for /<ImagePath>/images/<client>/<folder>/<name>; bytes None when missing.
        A version above 1 is another file of the same kind under the name (fixtures.FileStore.lookup)."""
        raw = self.path.split("?", 1)[0]
        segments = raw.split("/")[1:]
        if len(segments) < 4 or segments[0] != self.server.path_segment or segments[1] != "images":
            return None, None
        decoded = [urllib.parse.unquote(s) for s in segments[2:]]
        if any(s in ("", ".", "..") or "/" in s or "\\" in s or "\0" in s for s in decoded):
            self.record["notes"].append("unsafe path")
            return None, None
        client, rest = decoded[0], decoded[1:]
        name = rest[-1]
        folder = "/".join(rest[:-1])
        with state.lock:
            if client != state.data["client"]["clientId"]:
                self.record["notes"].append("client id %r does not match in its case" % client)
                return name, None
            if not ((folder in FILE_FOLDERS) or (folder == "" and name == "SkinImages.zip")):
                return name, None
            data, skin = state.data, state.per_run.get("skinVersion", 1)
            listed = state.files.lookup(data, skin, (folder + "/" if folder else "") + name, version)
        # So may the skin archive.
        if listed is not None and folder == "" and state.skin_file:
            return name, state.picture_file(state.skin_file)
        # A product picture the fixture names may be served from a file given at start.
        if listed is not None and folder == "product":
            for pattern, path in state.picture_files:
                if fnmatch.fnmatchcase(name, pattern):
                    return name, state.picture_file(path)
        return name, listed

    # --- control ---

    def serve_control(self, state, raw_path, body):
        path, _, query = raw_path.partition("?")
        self.record["command"] = path[1:]
        if path == "/__log" and self.command == "GET":
            since = int(urllib.parse.parse_qs(query).get("from", ["0"])[0])
            with state.lock:
                lines = state.log[since:]
            self.record["answer"] = {"lines": len(lines)}
            return self.send(200, "".join(line + "\n" for line in lines).encode("utf-8"), "application/x-ndjson")
        if path == "/__state" and self.command == "GET":
            with state.lock:
                snapshot = state.snapshot()
            self.record["answer"] = {}
            return self.send(200, dump(snapshot), "application/json")
        if path == "/__control" and self.command == "POST":
            try:
                request = json.loads(body.decode("utf-8") or "{}")
                if not isinstance(request, dict):
                    raise BadRequest("the control body is not a JSON object")
                self.record["parameters"] = request
                refuse = self.control(state, request)
            except (BadRequest, fixtures.FixtureError, ValueError, TypeError) as error:
                self.record["answer"] = {"error": str(error)}
                return self.send(400, dump({"error": str(error)}), "application/json")
            self.record["answer"] = {"ok": True}
            if refuse is not None:
                # Closed before the answer goes out, so the caller's next connect is refused.
                self.server.owner.listeners[refuse[0]].refuse(refuse[1])
            return self.send(200, dump({"ok": True, "fixture": state.fixture}), "application/json")
        self.record["answer"] = {}
        self.send(404, b"Not found\n", "text/plain")

    def control(self, state, request):
        with state.lock:
            if "reset" in request:
                state.reset(state.start_fixture if request["reset"] is True else str(request["reset"]))
            if request.get("clearFaults"):
                state.faults = []
            for fault in request.get("faults", []):
                state.add_fault(fault)
            per_run = request.get("perRun", {})
            if not isinstance(per_run, dict):
                raise BadRequest("perRun is not an object")
            state.per_run.update(per_run)
            for account_id, password in request.get("passwords", {}).items():
                account = state.account(account_id)
                if account is None or not isinstance(password, str):
                    raise BadRequest("no account %r to give a password" % account_id)
                account["password"] = password
            if "changeSet" in request:
                state.apply_change_set(request["changeSet"])
            edits = request.get("customerEdits", [])
            # Thousands of edits in one request look their customers up once.
            by_id = {c["customerId"]: c for c in state.data.get("customers", [])} if edits else None
            for edit in edits:
                state.edit_customer(edit, by_id)
            for number, status in request.get("orderStatus", {}).items():
                state.set_order_status(number, status)
        refuse = request.get("refuse")
        if refuse is None:
            return None
        if not isinstance(refuse, dict) or refuse.get("port") not in ("commands", "files"):
            raise BadRequest('refuse needs {"port": "commands"|"files", "seconds": n}')
        return refuse["port"], float(refuse.get("seconds", 1))

    # --- writing, with the answer-shaping faults ---

    def send(self, code, body, content_type, fault=None, extra=None):
        kind = fault["kind"] if fault else None
        headers = {"Content-Type": content_type}
        headers.update(extra or {})
        if kind == "gzip":
            body = gzip.compress(body, mtime=0)
            headers["Content-Encoding"] = "gzip"
        chunked = kind == "chunked"
        if chunked:
            headers["Transfer-Encoding"] = "chunked"
        else:
            headers["Content-Length"] = str(len(body))
        if self.record.get("answer") is None:
            self.record["answer"] = {}
        self.record["answer"].update({"http": code, "bytes": len(body)})
        if kind:
            self.record["answer"]["fault"] = kind
        keep = None
        if kind == "truncate" and self.command != "HEAD":
            keep = int(fault["bytes"]) if "bytes" in fault else int(len(body) * float(fault.get("fraction", 0.5)))
            keep = max(0, min(keep, len(body) - 1))
            self.record["answer"]["sent"] = keep
        self.write_log()
        self.send_response(code)
        for key, value in headers.items():
            self.send_header(key, value)
        self.end_headers()
        if self.command == "HEAD":
            return
        if keep is not None:
            self.wfile.write(body[:keep])
            self.wfile.flush()
            self.close_connection = True
            return
        if chunked:
            for i in range(0, len(body), 1000):
                piece = body[i:i + 1000]
                self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
            self.wfile.write(b"0\r\n\r\n")
            return
        if kind == "slow":
            rate = max(1, int(fault.get("bytesPerSecond", 1024)))
            step = max(1, rate // 10)
            for i in range(0, len(body), step):
                self.wfile.write(body[i:i + step])
                self.wfile.flush()
                time.sleep(step / rate)
            return
        self.wfile.write(body)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64


class Listener:
    """One port; it can stop listening for a while and listen again on the same port."""

    def __init__(self, owner, role, host, port, path_segment):
        self.owner, self.role, self.host, self.path_segment = owner, role, host, path_segment
        self.lock = threading.Lock()
        self.server = self.make(port)
        self.port = self.server.server_address[1]

    def make(self, port):
        server = Server((self.host, port), Handler)
        server.state, server.role, server.path_segment, server.owner = (self.owner.state, self.role,
                                                                        self.path_segment, self.owner)
        server.connections = getattr(self, "server", None).connections if getattr(self, "server", None) else 0
        server.counter_lock = threading.Lock()
        return server

    def start(self):
        threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True).start()

    def refuse(self, seconds):
        with self.lock:
            self.server.shutdown()
            self.server.server_close()

        def listen_again():
            time.sleep(seconds)
            with self.lock:
                for _ in range(50):
                    try:
                        self.server = self.make(self.port)
                        break
                    except OSError:
                        time.sleep(0.05)
                self.start()
        threading.Thread(target=listen_again, daemon=True).start()


class Backend:
    def __init__(self, fixture, host, port, file_port, path, image_path, nagle=False):
        self.state = State(fixture)
        self.nagle = nagle
        self.held_file = None
        self.listeners = {"commands": Listener(self, "commands", host, port, path),
                          "files": Listener(self, "files", host, file_port, image_path)}

    def start(self):
        for listener in self.listeners.values():
            listener.start()


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="command port (0: a free one)")
    parser.add_argument("--file-port", type=int, default=0, help="file port (0: a free one)")
    parser.add_argument("--path", default="BrivantaSaas", help='the command server\'s path ("Path")')
    parser.add_argument("--image-path", default="brivanta_saas", help='the file server\'s path ("ImagePath")')
    parser.add_argument("--fixture", default="S", help="one of: " + ", ".join(fixtures.fixture_names()))
    parser.add_argument("--log-file", help="also append every log line to this file")
    parser.add_argument("--nagle", action="store_true",
                        help="answer with Nagle's algorithm on: the head and the body in two writes, the body "
                             "held until the head is acknowledged")
    parser.add_argument("--picture-file", action="append", default=[], metavar="PATTERN=FILE",
                        help="serve FILE for every product picture the fixture names whose file name matches the "
                             "shell pattern PATTERN (first match wins; repeatable)")
    parser.add_argument("--skin-file", metavar="FILE", help="serve FILE as the skin archive")
    parser.add_argument("--held-file", metavar="FILE",
                        help="append the command code or file name of each request a delay fault holds, as it is held")
    args = parser.parse_args(argv)
    if args.skin_file and not os.path.isfile(args.skin_file):
        parser.error("--skin-file wants an existing file: %r" % args.skin_file)
    pictures = []
    for entry in args.picture_file:
        pattern, sep, path = entry.partition("=")
        if not sep or not pattern or not os.path.isfile(path):
            parser.error("--picture-file wants PATTERN=FILE with an existing file: %r" % entry)
        pictures.append((pattern, os.path.abspath(path)))
    if not args.host.startswith("127.") and args.host != "localhost":
        parser.error("the back end listens on loopback only")
    backend = Backend(args.fixture, args.host, args.port, args.file_port, args.path, args.image_path, args.nagle)
    backend.state.picture_files = pictures
    backend.state.skin_file = os.path.abspath(args.skin_file) if args.skin_file else None
    backend.held_file = os.path.abspath(args.held_file) if args.held_file else None
    backend.start()
    line = "backend listening on %s commands %d files %d path %s image-path %s fixture %s\n" % (
        args.host, backend.listeners["commands"].port, backend.listeners["files"].port, args.path, args.image_path,
        args.fixture)
    # In one write whatever the buffering (print writes the newline apart when unbuffered): those
    # who start the back end read the line as soon as the file holds anything.
    sys.stdout.flush()
    os.write(sys.stdout.fileno(), line.encode())
    written = 0
    try:
        while True:
            time.sleep(0.2)
            if args.log_file:
                with backend.state.lock:
                    lines = backend.state.log[written:]
                written += len(lines)
                if lines:
                    with open(args.log_file, "a", encoding="utf-8") as f:
                        f.writelines(line + "\n" for line in lines)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
