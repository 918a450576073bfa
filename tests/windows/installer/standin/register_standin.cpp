// Registers the stand-in spreadsheet server in this Wine prefix, or removes it with /u:
//   register_standin <server.dll> [/u]
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: register_standin <server.dll> [/u]\n");
        return 2;
    }
    const bool unregister = argc >= 3 && std::strcmp(argv[2], "/u") == 0;
    HMODULE server = LoadLibraryA(argv[1]);
    if (server == nullptr) {
        std::fprintf(stderr, "cannot load %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    using Registration = HRESULT(STDAPICALLTYPE*)();
    auto entry = reinterpret_cast<Registration>(reinterpret_cast<void*>(
        GetProcAddress(server, unregister ? "DllUnregisterServer" : "DllRegisterServer")));
    const HRESULT outcome = entry != nullptr ? entry() : E_FAIL;
    FreeLibrary(server);
    if (FAILED(outcome)) {
        std::fprintf(stderr, "registration failed: %08lX\n", static_cast<unsigned long>(outcome));
        return 1;
    }
    return 0;
}
