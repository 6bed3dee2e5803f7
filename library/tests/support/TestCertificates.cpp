#include "support/TestCertificates.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace dialoguetest {

namespace {

bool Run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A P-256 key and a certificate signed by the CA for `names` (subjectAltName
// entries); the `ca` command lets the validity dates be set freely.
bool MakeServerCertificate(const TestCertificates& set, const std::string& path, const std::string& names,
                           const std::string& dates)
{
    const std::string dir = set.folder;
    std::ofstream(path + ".ext") << "subjectAltName=" << names << "\n";
    return Run("openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=server"
               " -keyout " +
               path + ".key -out " + path + ".csr") &&
           Run("openssl ca -batch -config " + dir + "/ca.cnf -notext -in " + path + ".csr -out " + path +
               " -extfile " + path + ".ext " + dates);
}

TestCertificates Make()
{
    TestCertificates set;
    std::string pattern = (std::filesystem::temp_directory_path() / "quillnet-certs-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return set;
    set.folder = pattern;
    const std::string dir = set.folder;
    set.caFile = dir + "/ca.pem";
    set.localhost = dir + "/localhost.pem";
    set.expired = dir + "/expired.pem";
    set.otherName = dir + "/other.pem";
    std::filesystem::create_directories(dir + "/issued");
    std::ofstream(dir + "/index.txt");
    std::ofstream(dir + "/serial") << "1000\n";
    std::ofstream(dir + "/ca.cnf") << "[ca]\ndefault_ca=test\n[test]\ndir=" << dir
                                   << "\ndatabase=$dir/index.txt\nnew_certs_dir=$dir/issued\n"
                                      "certificate=$dir/ca.pem\nprivate_key=$dir/ca.key\nserial=$dir/serial\n"
                                      "default_md=sha256\npolicy=anything\nunique_subject=no\n"
                                      "default_days=30\n[anything]\ncommonName=supplied\n";
    set.ok = Run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 30"
                 " -subj /CN=quillnet-test-ca -addext basicConstraints=critical,CA:TRUE"
                 " -addext keyUsage=critical,keyCertSign,cRLSign"
                 " -keyout " +
                 dir + "/ca.key -out " + set.caFile) &&
             MakeServerCertificate(set, set.localhost, "DNS:localhost,IP:127.0.0.1,IP:::1", "") &&
             MakeServerCertificate(set, set.expired, "DNS:localhost,IP:127.0.0.1",
                                   "-startdate 20200101000000Z -enddate 20200201000000Z") &&
             MakeServerCertificate(set, set.otherName, "DNS:other.example", "");
    return set;
}

}  // namespace

const TestCertificates& Certificates()
{
    struct Holder {
        TestCertificates set = Make();
        ~Holder()
        {
            if (!set.folder.empty()) std::filesystem::remove_all(set.folder);
        }
    };
    static const Holder s_holder;
    return s_holder.set;
}

}  // namespace dialoguetest
