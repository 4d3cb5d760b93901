// The service's tokens: a name, a role, and the token's SHA-256 alone, one a line in a file only
// the service reads. A presented token is hashed and compared with each in constant time.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace panel {

enum class Role { Viewer, Operator };

struct Token {
    QString name;
    Role role = Role::Viewer;
    QByteArray digest;  // SHA-256 of the token, 32 bytes
};

struct TokenRead {
    std::vector<Token> tokens;
    std::vector<QString> problems;  // "FILE:LINE: what is wrong"
};

std::optional<Role> roleNamed(const QString& word);
QString roleName(Role role);
// Letters, digits and . _ - @, 1 to 64 of them: a token's name goes into logs and messages.
bool validTokenName(const QString& name);

class TokenStore {
public:
    // A missing file is no problem and no token: every request but the health check is refused.
    static TokenRead read(const QString& path);
    static TokenRead parse(const QByteArray& text, const QString& path);

    void setTokens(std::vector<Token> tokens) { tokens_ = std::move(tokens); }
    std::size_t size() const { return tokens_.size(); }

    // The token whose digest is the presented token's. Every stored digest is compared in full,
    // so the time taken tells nothing about which bytes matched.
    std::optional<Token> check(const QByteArray& presented) const;

    // A new random token for `name`: appended to the file (created readable by its owner alone)
    // and returned, once. The reason when it cannot be.
    static std::optional<QString> add(const QString& path, const QString& name, Role role,
                                      QByteArray& token);

private:
    std::vector<Token> tokens_;
};

}  // namespace panel
