"""What the back end's parts share: the two kinds of refusal, the answer envelope, and the
canonical form uploads are compared in."""
import json

# A field a row lacks, told apart from every value a row may hold.
MISSING = object()


class BadRequest(Exception):
    """Input the server cannot read: answered "115" (commands) or 404 (files)."""


class Rejected(Exception):
    """An upload that is not the protocol's document: answered HTTP 400 naming the key."""

    def __init__(self, key, problem):
        super().__init__("%s: %s" % (key, problem))
        self.key = key


def canonical(value):
    return json.dumps(value, sort_keys=True, ensure_ascii=False, separators=(",", ":"))


def is_int(value):
    return isinstance(value, int) and not isinstance(value, bool)


def envelope(status, content="", detail=""):
    return {"content": content, "results": [{"status": status, "detail": detail,
                                             "message": "OK" if status == "200" else "Refused"}]}
