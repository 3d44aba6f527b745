#!/usr/bin/env python3
"""Sends a submission to the receiving daemon the way students' mail programs do, through a real SMTP server.

    send_submission.py SMTP_HOST:PORT FROM TO uuencode|mime|plain [DIRECTORY] [--dot-line] [--subject TEXT]

uuencode: the files of DIRECTORY zipped and uuencoded into the text of a plain mail, as classic mail programs
          and the uuencode tool do; with --dot-line the zip is padded (by its comment) to a size whose last
          uuencoded line begins with ".", which the POP3 server dot-stuffs.
mime:     the zip as a base64 MIME attachment beside a text part, as modern mail programs send it.
plain:    a mail without any attachment.
"""
import argparse
import binascii
import io
import os
import smtplib
import sys
import zipfile
from email.message import EmailMessage
from email.utils import formatdate, make_msgid


def zip_directory(directory, dot_line):
    names = sorted(os.listdir(directory))

    def build(comment):
        buffer = io.BytesIO()
        with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as archive:
            for name in names:
                archive.write(os.path.join(directory, name), name)
            archive.comment = comment
        return buffer.getvalue()

    data = build(b"")
    if dot_line:
        # A last line of 14 bytes gets the length character "." (32 + 14).
        data = build(b"x" * ((14 - len(data) % 45) % 45))
    return data


def uuencode(data, name):
    lines = ["begin 644 " + name]
    for start in range(0, len(data), 45):
        lines.append(binascii.b2a_uu(data[start:start + 45], backtick=True).decode("ascii").rstrip("\n"))
    lines += ["`", "end"]
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("server")
    parser.add_argument("sender")
    parser.add_argument("recipient")
    parser.add_argument("form", choices=["uuencode", "mime", "plain"])
    parser.add_argument("directory", nargs="?")
    parser.add_argument("--dot-line", action="store_true")
    parser.add_argument("--subject", default="Odovzdanie zadania")
    arguments = parser.parse_args()

    message = EmailMessage()
    message["From"] = arguments.sender
    message["To"] = arguments.recipient
    message["Subject"] = arguments.subject
    message["Date"] = formatdate(localtime=True)
    message["Message-ID"] = make_msgid(domain="tarvel.test")
    text = "Dobry den,\nposielam zadanie.\n"
    if arguments.form == "uuencode":
        data = zip_directory(arguments.directory, arguments.dot_line)
        message.set_content(text + "\n" + uuencode(data, "zadanie.zip"), cte="7bit")
    elif arguments.form == "mime":
        message.set_content(text)
        message.add_attachment(zip_directory(arguments.directory, False), maintype="application",
                               subtype="zip", filename="zadanie.zip")
    else:
        message.set_content(text + "Priloha chyba.\n")

    host, _, port = arguments.server.rpartition(":")
    with smtplib.SMTP(host, int(port), timeout=30) as server:
        server.send_message(message)
    return 0


if __name__ == "__main__":
    sys.exit(main())
