#include "core/CtrlMain.h"

#include <getopt.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

bool parseCtrlOptions(int argc, char** argv, CtrlOptions& out) {
    opterr = 0;  // the parser's own messages are off; we print ours
    optind = 1;
    int c;
    while ((c = getopt(argc, argv, "c:sf:g:")) != -1) {
        switch (c) {
            case 'c':
                out.clientPort = static_cast<uint16_t>(strtoul(optarg, nullptr, 10));
                break;
            case 's':
            case 'f':
            case 'g':
                break;
            default: {
                // The current option argument: the word that held the bad option.
                const char* word = (optind > 0 && optind <= argc) ? argv[optind - 1] : "";
                printf("unknown command %s \n", word ? word : "");
                printf("init param failed \n");
                fflush(stdout);
                return false;
            }
        }
    }
    return true;
}

std::string programDirectoryOf(const std::string& programPath) {
    size_t slash = programPath.rfind('/');
    return slash == std::string::npos ? programPath : programPath.substr(0, slash);
}

void sighandler(int) {
    // Only async-signal-safe calls: the signal may have interrupted a thread inside printf,
    // whose stream lock would then never be released.
    static const char line[] = "sighandler exit(0)! \n";
    ssize_t written = write(STDOUT_FILENO, line, sizeof line - 1);
    (void)written;  // nothing is left to do about a failed write
    sleep(1);
    _exit(0);
}
