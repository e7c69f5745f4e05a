"""The customer upload (520): its document checked key by key, and each customer stored, sent
again or made anew. See README.md beside this file for the rules."""
import json

from wire import MISSING, BadRequest, Rejected, canonical, envelope, is_int

CUSTOMER_TABLES = ("brivanta_customer", "brivanta_customer_address", "brivanta_customer_attribute",
                   "brivanta_customer_contact")

# The customer upload document, key by key: every row has exactly these keys, of these types.
CUSTOMER_DOCUMENT = {
    "brivanta_customer": (("customer_id", "int"), ("customer_info_id", "text"), ("customer_name", "text"),
                          ("customer_publish", "int"), ("customer_ordering", "int"), ("discount", "number")),
    "brivanta_customer_address": (("id", "int"), ("customer_id", "int"), ("address", "text"), ("city", "text"),
                                  ("state", "text"), ("zip_code", "text")),
    "brivanta_customer_attribute": (("attribute_id", "int"), ("customer_id", "int"), ("attribute_fields_id", "int"),
                                    ("attribute_value", "value")),
    "brivanta_customer_contact": (("customer_id", "int"), ("contact_id", "int"), ("first_name", "text"),
                                  ("last_name", "text"), ("job_title", "text"), ("work_phone", "text"),
                                  ("mobile_phone", "text"), ("email", "text"), ("im", "text"), ("note", "text")),
}
CUSTOMER_ROW_IDS = {"brivanta_customer": "customer_id", "brivanta_customer_address": "id",
                    "brivanta_customer_attribute": "attribute_id", "brivanta_customer_contact": "contact_id"}
CONTACT_KEYS = {"firstName": "first_name", "lastName": "last_name", "jobTitle": "job_title",
                "workPhone": "work_phone", "mobilePhone": "mobile_phone", "email": "email", "im": "im", "note": "note"}
ADDRESS_KEYS = ("address", "city", "state", "zip_code")


def check_customer_document(state, document):
    """Refuses an unknown key, a missing key or a value of the wrong type, naming the key."""
    for key in document:
        if key not in CUSTOMER_DOCUMENT:
            raise Rejected(key, "not a key of the customer document")
    for table in CUSTOMER_DOCUMENT:
        if table not in document:
            raise Rejected(table, "missing from the customer document")
        if not isinstance(document[table], list):
            raise Rejected(table, "not an array")
    fields = state.data.get("customerFields", [])
    active = {f["attributeFieldsId"] for f in fields if f.get("attributeName") == "Active"}
    defined = {f["attributeFieldsId"] for f in fields}
    for table, columns in CUSTOMER_DOCUMENT.items():
        names = [name for name, _ in columns]
        for row in document[table]:
            if not isinstance(row, dict):
                raise Rejected(table, "a row that is not an object")
            for key in row:
                if key not in names:
                    raise Rejected(key, "not a key of a %s row" % table)
            for name, kind in columns:
                if name not in row:
                    raise Rejected(name, "missing from a %s row" % table)
                value = row[name]
                if kind == "value":
                    kind = "flag" if row["attribute_fields_id"] in active else "text"
                good = {"int": is_int(value), "text": isinstance(value, str),
                        "number": isinstance(value, (int, float)) and not isinstance(value, bool),
                        "flag": is_int(value) and value in (0, 1)}[kind]
                if not good:
                    wanted = {"int": "a whole number", "text": "a text", "number": "a number",
                              "flag": "the number 0 or 1"}[kind]
                    raise Rejected(name, "in a %s row is not %s: %s" % (table, wanted, json.dumps(value)))
                # A value belongs to a field the client defines; 0 names none.
                if name == "attribute_fields_id" and value not in defined:
                    raise Rejected(name, "in a %s row names no field of the client: %s" % (table, json.dumps(value)))


def identity(row, document):
    """What tells the customer of a customer row apart in an upload: its name, and the rest, each
    non-blank text of its rows (its number, an attribute's value by its field, an address's or a
    contact's value by the row's local id and column)."""
    local = row["customer_id"]

    def filled(value):
        return isinstance(value, str) and value.strip() != ""
    rest = {}
    if filled(row["customer_info_id"]):
        rest["number"] = row["customer_info_id"]
    for a in document["brivanta_customer_attribute"]:
        if a["customer_id"] == local and filled(a["attribute_value"]):
            rest["attribute %d" % a["attribute_fields_id"]] = a["attribute_value"]
    for table, columns in (("brivanta_customer_address", ADDRESS_KEYS),
                           ("brivanta_customer_contact", tuple(CONTACT_KEYS.values()))):
        for r in document[table]:
            if r["customer_id"] == local:
                for column in columns:
                    if filled(r[column]):
                        rest["%s %d %s" % (table, r[CUSTOMER_ROW_IDS[table]], column)] = r[column]
    return {"name": row["customer_name"].strip(), "rest": rest}


def sent_again(before, now):
    """Whether an upload at a local id its device used before is the customer sent then, renamed
    or edited since: with the name it keeps at least half of the rest; renamed, it keeps all the
    rest, and that is at least two values. A new customer that merely has the same local id
    differs more; when unsure it is stored anew, since a doubled customer can be mended and an
    overwritten one cannot."""
    if before is None:
        return False
    kept = sum(1 for key, value in before["rest"].items() if now["rest"].get(key) == value)
    if now["name"] == before["name"]:
        return 2 * kept >= len(before["rest"])
    return len(before["rest"]) >= 2 and kept == len(before["rest"])


def upload_customers(state, params, document, notes, device=None):
    """Stores a 520 upload; `device` is the device the request shows it comes from, None when it
    shows none."""
    check_customer_document(state, document)
    for row in document["brivanta_customer"]:
        if not row["customer_name"].strip():
            raise BadRequest("customer %d has an empty or blank customer_name" % row["customer_id"])
    account = params["accountId"]
    if device is None:
        # Whose re-send it could be is unknown: its rows are nobody's earlier ones.
        state.unknown_devices += 1
        device = "(unknown %d)" % state.unknown_devices
        notes.append("no device shown: its customers are stored as new")
    known = {c["customerId"] for c in state.data.get("customers", [])}

    def uploads(table, local):
        # Another device's rows under the same local ids are other customers' rows.
        return state.customer_uploads.setdefault((account, device, table, local), [])

    def earlier_customer(local_id):
        entries = state.customer_uploads.get((account, device, "brivanta_customer", local_id))
        return entries[-1]["serverId"] if entries else None

    # Children must name a customer this upload brings, one uploaded before, or a server one.
    batch_customers = {row["customer_id"] for row in document["brivanta_customer"]}
    for table in CUSTOMER_TABLES[1:]:
        for row in document[table]:
            local = row["customer_id"]
            if local not in batch_customers and earlier_customer(local) is None and local not in known:
                raise BadRequest("%s row names customer %d, which is neither uploaded nor on the server" % (table, local))

    def record(table, row, make, server_id=None, fresh=False):
        local = row[CUSTOMER_ROW_IDS[table]]
        content = canonical(row)
        entries = uploads(table, local)
        for entry in entries if not fresh else []:
            if entry["content"] == content:
                entry["received"] += 1
                notes.append("repeat of %s %d: answered its first ids" % (table, local))
                return entry, False
        if entries and not fresh:
            notes.append("collision: %s %d uploaded again with other content, stored anew" % (table, local))
        if server_id is None:
            server_id = state.next_ids[table]
            state.next_ids[table] += 1
        entry = {"content": content, "serverId": server_id, "received": 1, "collision": bool(entries)}
        entries.append(entry)
        make(server_id)
        return entry, True

    def customer_row(server_customer):
        return next((c for c in state.data.get("customers", []) if c["customerId"] == server_customer), None)

    def fields(row):
        # A field the row lacks (a re-send's unchanged one) comes out as MISSING.
        return {"customerInfoId": row.get("customer_info_id", MISSING),
                "customerName": row.get("customer_name", MISSING),
                "customerPublish": row.get("customer_publish", MISSING),
                "customerOrdering": row.get("customer_ordering", MISSING),
                "customerDiscount": row.get("discount", MISSING)}

    customer_ids = {}
    replaced = {}
    # Customers this upload makes: their rows are theirs, made anew.
    made_now = set()
    out = {table: [] for table in CUSTOMER_TABLES}
    for row in document["brivanta_customer"]:
        if row["customer_id"] > 0 and row["customer_id"] in known:
            # A server customer sent back whole: the upload is its new version. Child rows it
            # carries under their server ids keep them; the rows it leaves out are gone.
            server_id = row["customer_id"]
            customer = customer_row(server_id)
            customer.update(fields(row))
            replaced[server_id] = {
                "addresses": {a["id"] for a in state.data.get("addresses", []) if a["customer_id"] == server_id},
                "attributes": {a["attributeId"] for a in customer.get("attributes", [])},
                "contacts": {c["contactId"] for c in state.data.get("contacts", []) if c["customerId"] == server_id}}
            customer["attributes"] = []
            state.data["addresses"] = [a for a in state.data.get("addresses", []) if a["customer_id"] != server_id]
            state.data["contacts"] = [c for c in state.data.get("contacts", []) if c["customerId"] != server_id]
            state.pending["customer"]["customers"].add(server_id)
            record("brivanta_customer", row, lambda _: None, server_id=server_id, fresh=True)
            notes.append("customer %d replaced by the upload" % server_id)
            customer_ids[server_id] = server_id
            out["brivanta_customer"].append({"preId": server_id, "customerId": server_id})
            continue

        def make(server_id, row=row):
            state.data.setdefault("customers", []).append(dict({"customerId": server_id}, attributes=[],
                                                               **fields(row)))
            state.pending["customer"]["customers"].add(server_id)
        entries = uploads("brivanta_customer", row["customer_id"])
        earlier = entries[-1] if entries else None
        now = identity(row, document)
        # A server that stores every upload it is sent makes a customer of each re-send too.
        if (earlier is not None and not state.per_run.get("storeEveryUpload")
                and customer_row(earlier["serverId"]) is not None and sent_again(earlier.get("identity"), now)):
            # The same customer sent again by its device: the re-send is the change it carries
            # against what was stored (first, or at its last re-send), so what the office changed
            # since stays where the device sent the same, and the device's change wins elsewhere.
            entry = earlier
            server_id = entry["serverId"]
            before = json.loads(entry.get("applied", entry["content"]))
            changed = {k: v for k, v in row.items() if before.get(k) != v}
            customer_row(server_id).update({k: v for k, v in fields(changed).items() if v is not MISSING})
            entry["received"] += 1
            entry["applied"] = canonical(row)
            entry["identity"] = now
            replaced[server_id] = "resent"
            state.pending["customer"]["customers"].add(server_id)
            notes.append("customer %d sent again: %d field(s) of its row changed, its changes applied"
                         % (server_id, len(changed)))
        else:
            if earlier is not None:
                another = not sent_again(earlier.get("identity"), now)
                notes.append("customer %d %s by its device: stored anew"
                             % (row["customer_id"], "used again for another customer" if another else "sent again"))
            entry, _ = record("brivanta_customer", row, make, fresh=True)
            entry["identity"] = now
            made_now.add(entry["serverId"])
        customer_ids[row["customer_id"]] = entry["serverId"]
        out["brivanta_customer"].append({"preId": row["customer_id"], "customerId": entry["serverId"]})

    def owner(local):
        if local in customer_ids:
            return customer_ids[local]
        earlier = earlier_customer(local)
        return earlier if earlier is not None else local

    def kept_id(cid, kind, row_id):
        """A row of a replaced customer that names one of its own server rows keeps that id."""
        if cid not in replaced or replaced[cid] == "resent":
            return None
        return row_id if row_id > 0 and row_id in replaced[cid][kind] else None

    # Per re-sent customer and table, the device's row ids the re-send carries.
    carried = {}

    def resent_child(table, cid, row, make, server_rows, server_id_key, apply, same_row=None):
        """A re-sent customer's row: its changes since it was last applied go on the server's row."""
        local = row[CUSTOMER_ROW_IDS[table]]
        carried.setdefault((cid, table), set()).add(local)
        entries = uploads(table, local)
        base = next((e for e in reversed(entries) if e.get("owner") == cid), None)
        content = canonical(row)
        if base is None:
            # A row the device added since: new, unless the customer has one it stands for.
            theirs = next((r for r in server_rows() if same_row and same_row(r)), None)
            if theirs is None:
                entry, _ = record(table, row, make, fresh=True)
            else:
                apply(theirs, row)
                entry = {"content": content, "serverId": theirs[server_id_key], "received": 1, "collision": False}
                entries.append(entry)
            entry["owner"] = cid
            entry["applied"] = content
            return entry
        before = json.loads(base.get("applied", base["content"]))
        changed = {k: v for k, v in row.items() if before.get(k) != v}
        theirs = next((r for r in server_rows() if r[server_id_key] == base["serverId"]), None)
        if theirs is not None:
            apply(theirs, changed)
        elif any(k not in (CUSTOMER_ROW_IDS[table], "customer_id") for k in changed):
            # Gone from the server, changed on the device: the device's version comes back.
            make(base["serverId"])
        base["received"] += 1
        base["applied"] = content
        notes.append("%s %d sent again: %d field(s) changed" % (table, local, len(changed)))
        return base

    def drop_left_out(table, remove):
        """Rows of a re-sent customer's earlier upload that the re-send leaves out were deleted on the device."""
        for cid, kind in replaced.items():
            if kind != "resent":
                continue
            kept = carried.get((cid, table), set())
            for (acc, dev, t, local), entries in state.customer_uploads.items():
                if acc != account or dev != device or t != table or local in kept:
                    continue
                for e in entries:
                    if e.get("owner") == cid:
                        remove(cid, e["serverId"])

    def child(table, cid, row, make, kind, resent=None):
        """Stores a child row; a re-sent customer's rows are its changes, applied on the server's."""
        if replaced.get(cid) == "resent":
            return resent_child(table, cid, row, make, *resent)
        entry, _ = record(table, row, make, server_id=kept_id(cid, kind, row[CUSTOMER_ROW_IDS[table]]),
                          fresh=cid in replaced or cid in made_now)
        entry["owner"] = cid
        entry["applied"] = entry["content"]
        return entry

    def customer_addresses(cid):
        return lambda: [a for a in state.data.get("addresses", []) if a["customer_id"] == cid]

    def customer_contacts(cid):
        return lambda: [c for c in state.data.get("contacts", []) if c["customerId"] == cid]

    def customer_attributes(cid):
        customer = customer_row(cid)
        return lambda: customer.get("attributes", []) if customer is not None else []

    def set_address(theirs, changed):
        for key in ADDRESS_KEYS:
            if key in changed:
                theirs[key] = changed[key]

    def set_contact(theirs, changed):
        for server, local in CONTACT_KEYS.items():
            if local in changed:
                theirs[server] = changed[local]

    def attribute_text(value):
        # The yes/no field comes as 0 or 1 and is kept as the server writes it in 516.
        return value if isinstance(value, str) else ("YES" if value else "NO")

    def set_attribute(theirs, changed):
        if "attribute_value" in changed:
            theirs["attributeValue"] = attribute_text(changed["attribute_value"])

    def current(rows, server_id_key, server_id):
        return next((r for r in rows() if r[server_id_key] == server_id), None)

    for row in document["brivanta_customer_address"]:
        cid = owner(row["customer_id"])
        text = {k: row[k] for k in ADDRESS_KEYS}

        def make(server_id, cid=cid, text=text):
            state.data.setdefault("addresses", []).append(dict({"id": server_id, "customer_id": cid}, **text))
            state.pending["customer"]["customers"].add(cid)
        rows = customer_addresses(cid)
        entry = child("brivanta_customer_address", cid, row, make, "addresses", (rows, "id", set_address))
        theirs = current(rows, "id", entry["serverId"])
        if theirs is not None:
            text = {k: theirs[k] for k in ADDRESS_KEYS}
        out["brivanta_customer_address"].append(dict({"preId": row["id"], "customerId": cid, "id": entry["serverId"]},
                                                     **text))
    for row in document["brivanta_customer_attribute"]:
        cid = owner(row["customer_id"])
        value = attribute_text(row["attribute_value"])

        def make(server_id, cid=cid, row=row, value=value):
            customer = customer_row(cid)
            if customer is not None:
                customer.setdefault("attributes", []).append(
                    {"attributeId": server_id, "attributeFieldsId": row["attribute_fields_id"],
                     "attributeValue": value})
            state.pending["customer"]["customers"].add(cid)
        rows = customer_attributes(cid)
        # A customer holds one row of a field: a field the office gave a value meanwhile is that row.
        same_field = (lambda theirs, row=row: theirs["attributeFieldsId"] == row["attribute_fields_id"])
        entry = child("brivanta_customer_attribute", cid, row, make, "attributes",
                      (rows, "attributeId", set_attribute, same_field))
        theirs = current(rows, "attributeId", entry["serverId"])
        if theirs is not None:
            value = theirs["attributeValue"]
        out["brivanta_customer_attribute"].append({"preId": row["attribute_id"], "attributeId": entry["serverId"],
                                                   "customerId": cid,
                                                   "attributeFieldsId": row["attribute_fields_id"],
                                                   "attributeValue": value})
    for row in document["brivanta_customer_contact"]:
        cid = owner(row["customer_id"])
        text = {server: row[local] for server, local in CONTACT_KEYS.items()}

        def make(server_id, cid=cid, text=text):
            state.data.setdefault("contacts", []).append(dict({"customerId": cid, "contactId": server_id}, **text))
            state.pending["customer"]["customers"].add(cid)
        rows = customer_contacts(cid)
        entry = child("brivanta_customer_contact", cid, row, make, "contacts", (rows, "contactId", set_contact))
        theirs = current(rows, "contactId", entry["serverId"])
        if theirs is not None:
            text = {k: theirs[k] for k in CONTACT_KEYS}
        out["brivanta_customer_contact"].append(dict({"preId": row["contact_id"], "customerId": cid,
                                                      "contactId": entry["serverId"]}, **text))

    def remove_address(cid, row_id):
        state.data["addresses"] = [a for a in state.data.get("addresses", [])
                                   if not (a["customer_id"] == cid and a["id"] == row_id)]

    def remove_contact(cid, row_id):
        state.data["contacts"] = [c for c in state.data.get("contacts", [])
                                  if not (c["customerId"] == cid and c["contactId"] == row_id)]

    def remove_attribute(cid, row_id):
        customer = customer_row(cid)
        if customer is not None:
            customer["attributes"] = [a for a in customer.get("attributes", []) if a["attributeId"] != row_id]
    drop_left_out("brivanta_customer_address", remove_address)
    drop_left_out("brivanta_customer_attribute", remove_attribute)
    drop_left_out("brivanta_customer_contact", remove_contact)
    return envelope("200", out)
