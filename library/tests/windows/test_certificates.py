"""A test CA and server certificates signed by it, made with the openssl
command: one for localhost (and 127.0.0.1), one for localhost that expired
long ago, one for another name. The same set the Linux TLS tests use, but
for the CA's own key: it is RSA here, because Wine's certificate chain code
misreads an ECDSA signature whose r or s is shorter than 32 bytes (about one
certificate in a hundred) and calls the signature bad."""
import os
import shutil
import subprocess

CA_CONFIG = """[ca]
default_ca=test
[test]
dir={dir}
database=$dir/index.txt
new_certs_dir=$dir/issued
certificate=$dir/ca.pem
private_key=$dir/ca.key
serial=$dir/serial
default_md=sha256
policy=anything
unique_subject=no
default_days=30
[anything]
commonName=supplied
"""


def _openssl(*arguments):
    subprocess.run(["openssl"] + list(arguments), check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


class TestCertificates:
    def __init__(self, folder):
        self.folder = os.path.abspath(folder)
        self.ca_file = os.path.join(self.folder, "ca.pem")
        self.localhost = os.path.join(self.folder, "localhost.pem")
        self.expired = os.path.join(self.folder, "expired.pem")
        self.other_name = os.path.join(self.folder, "other.pem")
        # The localhost certificate followed by the CA's: a server that sends
        # the root itself, which must earn no trust by that.
        self.with_root = os.path.join(self.folder, "with-root.pem")

    @staticmethod
    def key_of(certificate):
        return certificate + ".key"

    def make(self):
        os.makedirs(os.path.join(self.folder, "issued"), exist_ok=True)
        open(os.path.join(self.folder, "index.txt"), "w").close()
        with open(os.path.join(self.folder, "serial"), "w") as out:
            out.write("1000\n")
        with open(os.path.join(self.folder, "ca.cnf"), "w") as out:
            out.write(CA_CONFIG.format(dir=self.folder))
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj", "/CN=quillnet-test-ca",
                 "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                 "-keyout", os.path.join(self.folder, "ca.key"), "-out", self.ca_file)
        self._server(self.localhost, "DNS:localhost,IP:127.0.0.1")
        self._server(self.expired, "DNS:localhost,IP:127.0.0.1",
                     "-startdate", "20200101000000Z", "-enddate", "20200201000000Z")
        self._server(self.other_name, "DNS:other.example")
        with open(self.with_root, "wb") as out:
            for part in (self.localhost, self.ca_file):
                with open(part, "rb") as source:
                    out.write(source.read())
        shutil.copyfile(self.key_of(self.localhost), self.key_of(self.with_root))
        return self

    def _server(self, path, names, *dates):
        with open(path + ".ext", "w") as out:
            out.write("subjectAltName=%s\n" % names)
        _openssl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                 "-subj", "/CN=server", "-keyout", self.key_of(path), "-out", path + ".csr")
        _openssl("ca", "-batch", "-config", os.path.join(self.folder, "ca.cnf"), "-notext",
                 "-in", path + ".csr", "-out", path, "-extfile", path + ".ext", *dates)
