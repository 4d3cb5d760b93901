// Name lookups of hosts under "slow.test" take 4 s and then fail, as with a resolver that does not
// answer; every other name goes to the C library. Linked into a program, this definition comes
// before the C library's for Qt's lookups too.
#include <dlfcn.h>
#include <netdb.h>
#include <unistd.h>

#include <string_view>

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result) {
    using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const auto real = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "getaddrinfo"));
    if (node && std::string_view(node).ends_with(".slow.test")) {
        sleep(4);
        return EAI_AGAIN;
    }
    return real(node, service, hints, result);
}
