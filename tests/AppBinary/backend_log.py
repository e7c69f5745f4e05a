"""The local back end's log as the binary checks read it (on PYTHONPATH from backend_support.sh)."""
import json


def records(path):
    """The log's records, a JSON object a line; any other line is passed over."""
    found = []
    for line in open(path):
        try:
            record = json.loads(line)
        except ValueError:
            continue
        if isinstance(record, dict):
            found.append(record)
    return found


def uploaded_orders(path):
    """The orders the device uploaded (command 518), in the order they came."""
    orders = []
    for record in records(path):
        if record.get("command") == "518":
            orders += json.loads(record["parameters"]["syncData"]).get("order", [])
    return orders
