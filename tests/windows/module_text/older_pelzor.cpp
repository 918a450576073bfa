// A stand-in for an older build of pelzor.dll, for the loader's tests: a DLL of that name
// without the newest function the macro module declares.
extern "C" __declspec(dllexport) int olderBuild() {
    return 1;
}
