#!/usr/bin/env python3
"""The studio's publishing tool for anti-cheat modules.

The CDN serves a module in an encoded form: encoded byte k is
d[k] + d[k+1] + 3k for every byte but the last, which is d[n-1] + 3(n-1), all
modulo 256; files of fewer than two bytes are copied unchanged. The
launcher's decoder reverses this.

    modpack.py encode INPUT OUTPUT
    modpack.py decode INPUT OUTPUT
    modpack.py sign INPUT OUTPUT (--cert CERT.pem --key KEY.pem | --pkcs12 FILE.pfx)
               [--pass-file FILE] [--name NAME] [--timestamp URL]
    modpack.py publish INPUT --root ROOT --product ID --deployment ID --system NAME
               [--cert CERT.pem --key KEY.pem | --pkcs12 FILE.pfx ...] [--allow-unsigned]

`publish` lays the encoded module out as ROOT/modules/PRODUCT/DEPLOYMENT/SYSTEM,
the path the launcher asks any static HTTPS server for; with --cert it signs
a Windows module first. A Windows module that is not signed by a publisher the
launcher accepts is refused (every Windows player would refuse it), unless
--allow-unsigned says the tree is for a test CDN. `sign` signs a PE file with
osslsigncode (SHA-256). The key's password never goes on a command line: it is
read from --pass-file, or else from the environment variable
TAVRIN_SIGN_KEY_PASSWORD.

The short forms `modpack.py INPUT OUTPUT` and `modpack.py --decode INPUT
OUTPUT` stay for the scripts that use them.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

# A 200 body this short means "service switched off" to the launcher, never
# a module.
DISABLED_SERVICE_MAX_BODY = 4096

# The names the launcher may ask for; only the Windows ones carry an
# Authenticode signature.
WINDOWS_SYSTEMS = (
    "win32", "wow64", "wow64_win64", "win64_wow64", "win64",
    "winarm_x64_wow64", "winarm_x64_x64",
)
OTHER_SYSTEMS = (
    "linux64", "linux32", "linux64_32", "linux32_64", "mac64", "mac_arm64",
)
SYSTEMS = WINDOWS_SYSTEMS + OTHER_SYSTEMS

IDENTIFIER = re.compile(r"[A-Za-z0-9-]{2,64}\Z")

# The signers the launcher accepts: the simple display name (the common name)
# of the signing certificate, compared exactly.
ACCEPTED_SIGNERS = ("Tavrin Oy", "Corvanne Inc.", "Corvanne, Inc", "Corvanne, Inc.", "Corvanne Inc")

PASSWORD_VARIABLE = "TAVRIN_SIGN_KEY_PASSWORD"


class PublishError(Exception):
    """A refusal with a message for the studio."""


def encode(data: bytes) -> bytes:
    n = len(data)
    if n < 2:
        return bytes(data)
    out = bytearray(n)
    for k in range(n - 1):
        out[k] = (data[k] + data[k + 1] + 3 * k) & 0xFF
    out[n - 1] = (data[n - 1] + 3 * (n - 1)) & 0xFF
    return bytes(out)


def decode(data: bytes) -> bytes:
    n = len(data)
    if n < 2:
        return bytes(data)
    out = bytearray(data)
    out[n - 1] = (out[n - 1] - 3 * (n - 1)) & 0xFF
    for k in range(n - 2, -1, -1):
        out[k] = (out[k] - 3 * k - out[k + 1]) & 0xFF
    return bytes(out)


def check_identifier(kind, value):
    # The same rule as the launcher's: the values become URL and folder names.
    if not IDENTIFIER.match(value):
        raise PublishError(
            f"{kind} '{value}' is not 2 to 64 ASCII letters, digits or '-'")


def check_system(name):
    if name not in SYSTEMS:
        raise PublishError(
            f"unknown system '{name}'; one of: {', '.join(SYSTEMS)}")


def read_bytes(path):
    with open(path, "rb") as source:
        return source.read()


def write_atomically(path, data):
    # A static server may be serving the tree: it must never see half a module.
    folder = os.path.dirname(os.path.abspath(path))
    os.makedirs(folder, exist_ok=True)
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=".modpack-")
    try:
        with os.fdopen(handle, "wb") as target:
            target.write(data)
            target.flush()
            os.fsync(target.fileno())
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        if os.path.exists(temporary):
            os.unlink(temporary)
        raise


def is_pe_image(data):
    if len(data) < 0x40 or data[:2] != b"MZ":
        return False
    offset = int.from_bytes(data[0x3C:0x40], "little")
    return offset + 4 <= len(data) and data[offset:offset + 4] == b"PE\0\0"


def sign_bytes(data, cert=None, key=None, password=None, name=None, timestamp=None, pkcs12=None):
    """Returns the signed image; osslsigncode does the Authenticode work.
    The signer is a PEM certificate chain with its key, or a PKCS#12 file;
    the password reaches osslsigncode through a private file, never its
    command line."""
    if not is_pe_image(data):
        raise PublishError("only a Windows (PE) module can be signed")
    if shutil.which("osslsigncode") is None:
        raise PublishError("osslsigncode is not installed")
    with tempfile.TemporaryDirectory(prefix="modpack-sign-") as work:
        unsigned = os.path.join(work, "unsigned")
        signed = os.path.join(work, "signed")
        with open(unsigned, "wb") as target:
            target.write(data)
        if pkcs12 is not None:
            signer = ["-pkcs12", pkcs12]
        elif cert is not None and key is not None:
            signer = ["-certs", cert, "-key", key]
        else:
            raise PublishError("signing needs --cert and --key, or --pkcs12")
        command = ["osslsigncode", "sign"] + signer + ["-h", "sha256", "-in", unsigned, "-out", signed]
        if password is not None:
            secret = os.path.join(work, "password")
            with open(os.open(secret, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600), "w") as target:
                target.write(password)
            command[2:2] = ["-readpass", secret]
        if name:
            command[2:2] = ["-n", name]
        if timestamp:
            command[2:2] = ["-ts", timestamp]
        result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if result.returncode != 0 or not os.path.exists(signed):
            raise PublishError("osslsigncode failed:\n" + result.stdout.strip())
        return read_bytes(signed)


def signature_problem(data):
    """Why the launcher would refuse this image's signature, or None. The
    chain is the launcher's to judge: this catches what no chain mends."""
    if shutil.which("osslsigncode") is None:
        return "cannot be checked: osslsigncode is not installed"
    with tempfile.TemporaryDirectory(prefix="modpack-verify-") as work:
        image = os.path.join(work, "image")
        with open(image, "wb") as target:
            target.write(data)
        report = subprocess.run(["osslsigncode", "verify", "-in", image], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True).stdout
    current = re.search(r"^Current message digest\s*:\s*(\S+)", report, re.M)
    calculated = re.search(r"^Calculated message digest\s*:\s*(\S+)", report, re.M)
    signer = re.search(r"Signer #0:\s*\n\s*Subject:\s*(.*)", report)
    if current and calculated and current.group(1) != calculated.group(1):
        return "was changed after it was signed"
    if not current or not calculated or not signer:
        return "is not signed"
    name = common_name(signer.group(1).strip())
    if name not in ACCEPTED_SIGNERS:
        return f"is signed by '{name}', a publisher the launcher does not accept"
    return None


def common_name(subject):
    """The CN of an osslsigncode subject line ("/O=Studio/CN=Name")."""
    match = re.search(r"(?:^|/)CN=(.*?)(?=/[A-Za-z]+=|$)", subject)
    return match.group(1) if match else subject


def module_path(root, product, deployment, system):
    return os.path.join(root, "modules", product, deployment, system)


def publish(data, root, product, deployment, system, signing=None, allow_unsigned=False):
    """Signs (when asked), encodes and places one module; returns its path."""
    check_identifier("product id", product)
    check_identifier("deployment id", deployment)
    check_system(system)
    if signing is not None:
        if system not in WINDOWS_SYSTEMS:
            raise PublishError(f"a '{system}' module is not a Windows image and is not signed")
        data = sign_bytes(data, **signing)
    if system in WINDOWS_SYSTEMS and not allow_unsigned:
        problem = signature_problem(data)
        if problem:
            raise PublishError(
                f"the module {problem}: every Windows player would refuse it (launch result 206). "
                f"Sign it with the studio's certificate (--cert and --key, or --pkcs12), "
                f"or pass --allow-unsigned for a test CDN")
    if len(data) <= DISABLED_SERVICE_MAX_BODY:
        raise PublishError(
            f"a module of {len(data)} bytes would read as 'service disabled' "
            f"(the launcher needs more than {DISABLED_SERVICE_MAX_BODY})")
    path = module_path(root, product, deployment, system)
    write_atomically(path, encode(data))
    return path


def signing_options(args):
    if args.cert is None and args.key is None and args.pkcs12 is None:
        return None
    if args.pkcs12 is not None and (args.cert is not None or args.key is not None):
        raise PublishError("give either --cert and --key, or --pkcs12")
    if args.pkcs12 is None and (args.cert is None or args.key is None):
        raise PublishError("signing needs both --cert and --key")
    return {"cert": args.cert, "key": args.key, "pkcs12": args.pkcs12, "password": key_password(args),
            "name": args.name, "timestamp": args.timestamp}


def key_password(args):
    """From --pass-file (its first line), else the environment, else none."""
    if args.pass_file is not None:
        with open(args.pass_file, encoding="utf-8") as source:
            return source.readline().rstrip("\r\n")
    return os.environ.get(PASSWORD_VARIABLE)


def add_signing_arguments(parser):
    parser.add_argument("--cert", help="signing certificate chain (PEM)")
    parser.add_argument("--key", help="its private key (PEM)")
    parser.add_argument("--pkcs12", help="certificate chain and key in one PKCS#12 (.pfx) file")
    parser.add_argument("--pass-file", help=f"a file holding the key's password (else ${PASSWORD_VARIABLE})")
    parser.add_argument("--name", help="the program name written into the signature")
    parser.add_argument("--timestamp", help="a time-stamping service URL")


def parse_arguments(argv):
    parser = argparse.ArgumentParser(prog="modpack.py", description=__doc__.split("\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    for name in ("encode", "decode"):
        command = commands.add_parser(name)
        command.add_argument("input")
        command.add_argument("output")
    # No abbreviations: "--pass" must not pass for "--pass-file".
    sign = commands.add_parser("sign", allow_abbrev=False)
    sign.add_argument("input")
    sign.add_argument("output")
    add_signing_arguments(sign)
    publish_command = commands.add_parser("publish", allow_abbrev=False)
    publish_command.add_argument("input")
    publish_command.add_argument("--root", required=True, help="the tree the static server serves")
    publish_command.add_argument("--product", required=True)
    publish_command.add_argument("--deployment", required=True)
    publish_command.add_argument("--system", required=True, choices=SYSTEMS)
    publish_command.add_argument("--allow-unsigned", action="store_true",
                                 help="place a Windows module the launcher would refuse (test CDNs only)")
    add_signing_arguments(publish_command)
    return parser.parse_args(argv)


def legacy_arguments(argv):
    """The short forms: INPUT OUTPUT, or --decode INPUT OUTPUT."""
    if len(argv) == 2 and not argv[0].startswith("-") and argv[0] not in ("encode", "decode", "sign", "publish"):
        return ["encode"] + argv
    if len(argv) == 3 and argv[0] == "--decode":
        return ["decode"] + argv[1:]
    return argv


def run(args):
    if args.command in ("encode", "decode"):
        transform = encode if args.command == "encode" else decode
        write_atomically(args.output, transform(read_bytes(args.input)))
    elif args.command == "sign":
        options = signing_options(args)
        if options is None:
            raise PublishError("signing needs --cert and --key, or --pkcs12")
        write_atomically(args.output, sign_bytes(read_bytes(args.input), **options))
    else:
        path = publish(read_bytes(args.input), args.root, args.product, args.deployment,
                       args.system, signing_options(args), args.allow_unsigned)
        print(path)


def main(argv):
    args = parse_arguments(legacy_arguments(argv[1:]))
    try:
        run(args)
    except PublishError as error:
        print(f"modpack: {error}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"modpack: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
