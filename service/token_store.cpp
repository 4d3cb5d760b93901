#include "service/token_store.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <array>
#include <cerrno>
#include <cstring>

namespace panel {
namespace {

constexpr std::size_t kTokenBytes = 32;
constexpr qsizetype kDigestBytes = 32;
const QByteArray kHeader =
    "# projector-paneld tokens: name, role and the token's SHA-256, one a line\n";

QByteArray digestOf(const QByteArray& token) {
    return QCryptographicHash::hash(token, QCryptographicHash::Sha256);
}

bool sameDigest(const QByteArray& a, const QByteArray& b) {
    unsigned char differ = 0;
    for (qsizetype i = 0; i < kDigestBytes; ++i) differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

std::optional<QString> randomBytes(std::array<char, kTokenBytes>& out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = getrandom(out.data() + done, out.size() - done, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return QString::fromLocal8Bit(std::strerror(errno));
        done += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

std::optional<QString> writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return QString::fromLocal8Bit(std::strerror(errno));
        done += n;
    }
    return std::nullopt;
}

}  // namespace

std::optional<Role> roleNamed(const QString& word) {
    if (word == QLatin1String("viewer")) return Role::Viewer;
    if (word == QLatin1String("operator")) return Role::Operator;
    return std::nullopt;
}

QString roleName(Role role) {
    return role == Role::Operator ? QStringLiteral("operator") : QStringLiteral("viewer");
}

bool validTokenName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9._@-]{1,64}$"));
    return pattern.match(name).hasMatch();
}

TokenRead TokenStore::parse(const QByteArray& text, const QString& path) {
    TokenRead read;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QList<QByteArray> fields = line.split('\t');
        const QString where = QStringLiteral("%1:%2: ").arg(path).arg(i + 1);
        if (fields.size() != 3) {
            read.problems.push_back(where + QStringLiteral("expected name, role and digest"));
            continue;
        }
        const QString name = QString::fromUtf8(fields[0]);
        const std::optional<Role> role = roleNamed(QString::fromUtf8(fields[1]));
        const QByteArray digest = QByteArray::fromHex(fields[2]);
        if (!validTokenName(name))
            read.problems.push_back(where + QStringLiteral("'%1' is no token name").arg(name));
        else if (!role)
            read.problems.push_back(where + QStringLiteral("the role is viewer or operator"));
        else if (digest.size() != kDigestBytes || digest.toHex() != fields[2].toLower())
            read.problems.push_back(where + QStringLiteral("the digest is no SHA-256 in hex"));
        else
            read.tokens.push_back(Token{name, *role, digest});
    }
    return read;
}

TokenRead TokenStore::read(const QString& path) {
    QFile file(path);
    if (!file.exists()) return {};
    if (!file.open(QIODevice::ReadOnly))
        return TokenRead{{}, {QStringLiteral("%1: %2").arg(path, file.errorString())}};
    // Others reading it could try the digests offline.
    if (QFileInfo(path).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther))
        return TokenRead{
            {}, {QStringLiteral("%1: others may read or write it; chmod 600 it").arg(path)}};
    return parse(file.readAll(), path);
}

std::optional<Token> TokenStore::check(const QByteArray& presented) const {
    const QByteArray digest = digestOf(presented);
    std::optional<Token> found;
    for (const Token& token : tokens_)
        if (sameDigest(token.digest, digest) && !found) found = token;
    return found;
}

std::optional<QString> TokenStore::add(const QString& path, const QString& name, Role role,
                                       QByteArray& token) {
    if (!validTokenName(name))
        return QStringLiteral("'%1' is no token name: use 1 to 64 letters, digits and . _ - @")
            .arg(name);
    const TokenRead existing = read(path);
    if (!existing.problems.empty()) return existing.problems.front();
    for (const Token& t : existing.tokens)
        if (t.name == name) return QStringLiteral("a token named '%1' exists already").arg(name);
    std::array<char, kTokenBytes> random{};
    if (std::optional<QString> failed = randomBytes(random))
        return QStringLiteral("no random bytes: %1").arg(*failed);
    const QByteArray fresh =
        QByteArray(random.data(), random.size())
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    random.fill(0);
    const QByteArray encoded = QFile::encodeName(path);
    const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info {};
    QByteArray line;
    if (::fstat(fd, &info) == 0 && info.st_size == 0) line = kHeader;
    line += name.toUtf8() + '\t' + roleName(role).toUtf8() + '\t' + digestOf(fresh).toHex() + '\n';
    std::optional<QString> failed = writeAll(fd, line);
    if (::close(fd) != 0 && !failed) failed = QString::fromLocal8Bit(std::strerror(errno));
    if (failed) return QStringLiteral("%1: %2").arg(path, *failed);
    token = fresh;
    return std::nullopt;
}

}  // namespace panel
