#include "cli/UsageText.h"

namespace mdbtokvt {

const std::string_view kProgramUsage =
    "Usage:\n"
    "  mdbtokvt-cli convert SOURCE OUTDIR [--edition EDITION] [--codepage NAME]\n"
    "                                     [--report FILE]\n"
    "  mdbtokvt-cli dump FILE.KVT [--format text|csv|json] [--codepage NAME]\n"
    "  mdbtokvt-cli verify OUTDIR [--codepage NAME]\n"
    "  mdbtokvt-cli COMMAND --help\n"
    "  mdbtokvt-cli --help | --version\n"
    "\n"
    "convert  Reads the Access database SOURCE (an address book when its name ends\n"
    "         in \"abk\", else a pager database) and writes TERMTAB.KVT, USERTAB.KVT\n"
    "         and GROUPTAB.KVT into the folder OUTDIR: all three, or none.\n"
    "dump     Prints every record of a table file.\n"
    "verify   Checks that the three table files of OUTDIR fit together.\n"
    "\n"
    "EDITION is the Telvane Wireless edition: lumen or 0 (the default; 32 members\n"
    "per group), vireo or 1, sentel or 2, quorra or 3 (500 members per group; these\n"
    "three give the same files). Keywords may be written in any case.\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage, 128+N stopped by signal N\n"
    "(SIGINT, SIGTERM, SIGHUP or SIGQUIT stop a conversion and leave OUTDIR as it\n"
    "was, unless the table files were being replaced already).\n";

const std::string_view kConvertUsage =
    "Usage: mdbtokvt-cli convert SOURCE OUTDIR [--edition EDITION] [--codepage NAME]\n"
    "                                          [--report FILE]\n"
    "\n"
    "Reads the Access database SOURCE and writes TERMTAB.KVT, USERTAB.KVT and\n"
    "GROUPTAB.KVT into the folder OUTDIR: all three, or none. SOURCE is read as an\n"
    "address book when its name ends in \"abk\" (any case), else as a pager database.\n"
    "\n"
    "  --edition EDITION  Telvane Wireless edition: lumen or 0 (the default; 32\n"
    "                     members per group), vireo or 1, sentel or 2, quorra or 3\n"
    "                     (500 members per group; these three give the same files)\n"
    "  --codepage NAME    single-byte code page of the table files' text: 1250,\n"
    "                     cp1250, windows-1250 or an iconv name (default: the\n"
    "                     Windows code page of the locale, e.g. 1250 for pl_PL)\n"
    "  --report FILE      also write what the conversion changed, as JSON\n"
    "  -h, --help         print this help and exit\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage, 128+N stopped by signal N\n"
    "(SIGINT, SIGTERM, SIGHUP or SIGQUIT stop a conversion and leave OUTDIR as it\n"
    "was, unless the table files were being replaced already).\n";

const std::string_view kDumpUsage =
    "Usage: mdbtokvt-cli dump FILE.KVT [--format text|csv|json] [--codepage NAME]\n"
    "\n"
    "Prints every record of the table file FILE.KVT, after checking its header and\n"
    "length. Its kind comes from its name (TERMTAB.KVT, USERTAB.KVT, GROUPTAB.KVT)\n"
    "or, for any other name, from its record size.\n"
    "\n"
    "  --format FORMAT  text (the default), csv or json\n"
    "  --codepage NAME  code page the file was written in, as convert takes it\n"
    "                   (default: the Windows code page of the locale)\n"
    "  -h, --help       print this help and exit\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage.\n";

const std::string_view kVerifyUsage =
    "Usage: mdbtokvt-cli verify OUTDIR [--codepage NAME]\n"
    "\n"
    "Checks that the three table files of the folder OUTDIR fit together: their\n"
    "headers and lengths, every receiver's service, every group member, no repeated\n"
    "service name. Prints one line per problem, then a summary.\n"
    "\n"
    "  --codepage NAME  code page the files were written in, as convert takes it\n"
    "                   (default: the Windows code page of the locale)\n"
    "  -h, --help       print this help and exit\n"
    "\n"
    "Exit status: 0 the files fit together, 1 they do not or cannot be read,\n"
    "2 wrong usage.\n";

}  // namespace mdbtokvt
