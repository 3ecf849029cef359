// A player installer for the Windows tests: its "CABINET" resource (added by the build) holds the
// stand-in control as an ".ocx", which the runtime takes out without running this program. When it
// is run (the silent route), it only notes its arguments in the file VELMO_INSTALLER_LOG names.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* log = std::getenv("VELMO_INSTALLER_LOG");
    if (!log) return 0;
    std::FILE* file = std::fopen(log, "a");
    if (!file) return 1;
    for (int i = 1; i < argc; ++i) std::fprintf(file, "%s%s", i > 1 ? " " : "", argv[i]);
    std::fputs("\n", file);
    std::fclose(file);
    return 0;
}
