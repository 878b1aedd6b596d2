"""Certificates made on the spot for https tests: a CA of the test's own, server
certificates it issues (valid, expired, for another host), and what Windows needs to
trust that CA (the registry form of a root store entry).

Wine's WinINet matches host names against DNS names only, never IP addresses, so the
servers are named "localhost"."""

import datetime
import hashlib
import ssl
import struct
from contextlib import contextmanager
from dataclasses import dataclass
from pathlib import Path

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import decode_dss_signature
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

ROOT_STORE_KEY = r"HKCU\Software\Microsoft\SystemCertificates\Root\Certificates"


def _name(common_name):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, common_name)])


def _now():
    return datetime.datetime.now(datetime.timezone.utc)


def _signed(builder, key):
    """`builder` signed by `key` with an ECDSA signature whose r and s both fill 32
    bytes. Wine's crypt32 hands bcrypt r and s joined at their DER lengths, not padded
    to the curve's, so a signature with a short r or s (about one in 128) fails to
    verify: a CA so signed is "not trusted" (12045) though it is in the root store.
    Windows pads them; the tests' certificates keep clear of Wine's fault."""
    while True:
        certificate = builder.sign(key, hashes.SHA256())
        if min(decode_dss_signature(certificate.signature)) >= 1 << 248:
            return certificate


@dataclass
class Issued:
    """A certificate and its key, written as PEM files in `directory`."""
    certificate: x509.Certificate
    key: object
    directory: Path
    name: str

    @property
    def der(self):
        return self.certificate.public_bytes(serialization.Encoding.DER)

    @property
    def cert_file(self):
        return self.directory / (self.name + ".pem")

    @property
    def key_file(self):
        return self.directory / (self.name + ".key")

    def write(self):
        self.directory.mkdir(parents=True, exist_ok=True)
        self.cert_file.write_bytes(self.certificate.public_bytes(serialization.Encoding.PEM))
        self.key_file.write_bytes(self.key.private_bytes(
            serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
            serialization.NoEncryption()))
        return self

    def server_context(self, max_tls12=False):
        """A server-side SSLContext presenting this certificate."""
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(str(self.cert_file), str(self.key_file))
        if max_tls12:
            context.maximum_version = ssl.TLSVersion.TLSv1_2
        return context


def make_ca(directory, name="Falwick Test CA"):
    key = ec.generate_private_key(ec.SECP256R1())
    now = _now()
    certificate = _signed(
        x509.CertificateBuilder()
        .subject_name(_name(name)).issuer_name(_name(name))
        .public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(days=1))
        .not_valid_after(now + datetime.timedelta(days=30))
        .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
        .add_extension(x509.KeyUsage(digital_signature=True, key_cert_sign=True,
                                     crl_sign=True, content_commitment=False,
                                     key_encipherment=False, data_encipherment=False,
                                     key_agreement=False, encipher_only=False,
                                     decipher_only=False), critical=True), key)
    return Issued(certificate, key, Path(directory), "ca").write()


def issue(ca, name, hosts=("localhost",), expired=False):
    """A server certificate for `hosts` signed by `ca`; `expired` ended yesterday."""
    key = ec.generate_private_key(ec.SECP256R1())
    now = _now()
    if expired:
        start, end = now - datetime.timedelta(days=30), now - datetime.timedelta(days=1)
    else:
        start, end = now - datetime.timedelta(days=1), now + datetime.timedelta(days=30)
    certificate = _signed(
        x509.CertificateBuilder()
        .subject_name(_name(hosts[0])).issuer_name(ca.certificate.subject)
        .public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(start).not_valid_after(end)
        .add_extension(x509.SubjectAlternativeName([x509.DNSName(h) for h in hosts]),
                       critical=False)
        .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]),
                       critical=False), ca.key)
    return Issued(certificate, key, ca.directory, name).write()


def root_store_entry(der):
    """The registry key name and `Blob` value by which Windows (and Wine) trust `der`
    as a root: the upper-case hex SHA-1 of the certificate, and its properties 3 (the
    SHA-1) and 32 (the certificate), each as DWORD id, DWORD 1, DWORD length, bytes."""
    sha1 = hashlib.sha1(der).digest()
    blob = b"".join(struct.pack("<III", prop, 1, len(data)) + data
                    for prop, data in ((3, sha1), (32, der)))
    return ROOT_STORE_KEY + "\\" + sha1.hex().upper(), blob


@contextmanager
def trusted(wine, ca):
    """The prefix trusts `ca` as a root for the block: its entry in the user's root
    store, which outlives the wineserver, is removed afterwards. Each program reads the
    store when it starts."""
    key, blob = root_store_entry(ca.der)
    wine.reg_add(key, "Blob", blob)
    try:
        yield key
    finally:
        wine.reg_delete(key)


def root_store_listing(wine, ca):
    """What the prefix's user root store holds, beside the key `ca` is trusted by: said
    when a run did not trust a certificate of `ca`, so that such a failure tells whether
    the entry was there."""
    key, _ = root_store_entry(ca.der)
    return "\nthe root store should hold %s; it holds:\n%s" % (
        key.rsplit("\\", 1)[1], wine.cmd("reg", "query", ROOT_STORE_KEY))

