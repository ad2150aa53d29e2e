#!/usr/bin/python3
"""Reads one message file with Python's own e-mail parser and prints what it
finds as JSON, so that the tests check our messages against an independent
reader: headers (decoded), the structure, and each leaf part decoded."""
import email
import email.policy
import hashlib
import json
import sys


def structure(part):
    if part.is_multipart():
        return part.get_content_type() + "(" + ",".join(structure(p) for p in part.iter_parts()) + ")"
    return part.get_content_type()


def leaf(part):
    payload = part.get_payload(decode=True) or b""
    info = {
        "type": part.get_content_type(),
        "charset": part.get_content_charset(),
        "cte": (part.get("Content-Transfer-Encoding") or "").lower(),
        "disposition": part.get_content_disposition(),
        "filename": part.get_filename(),
        "content_id": part.get("Content-ID"),
        "sha256": hashlib.sha256(payload).hexdigest(),
        "size": len(payload),
    }
    if part.get_content_maintype() == "text":
        info["text"] = payload.decode(part.get_content_charset() or "us-ascii", errors="replace")
    return info


def addresses(msg, name):
    out = []
    for value in msg.get_all(name, []):
        for a in value.addresses:
            out.append([a.display_name, a.addr_spec])
    return out


def main():
    with open(sys.argv[1], "rb") as f:
        raw = f.read()
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    defects = [type(d).__name__ for d in msg.defects]
    for part in msg.walk():
        defects += [type(d).__name__ for d in part.defects]
    result = {
        "headers": [[k, str(v)] for k, v in msg.items()],
        "subject": str(msg.get("Subject", "")),
        "from": addresses(msg, "From"),
        "to": addresses(msg, "To"),
        "cc": addresses(msg, "Cc"),
        "bcc": addresses(msg, "Bcc"),
        "structure": structure(msg),
        "parts": [leaf(p) for p in msg.walk() if not p.is_multipart()],
        "defects": defects,
        "longest_line": max((len(l) for l in raw.split(b"\r\n")), default=0),
        "bare_lf": raw.replace(b"\r\n", b"").count(b"\n"),
    }
    json.dump(result, sys.stdout)


main()
