#include "Help.h"

#include <cstdio>
#include <string>

#include "Tool.h"

namespace sfxpack {

namespace {

const char kSummary[] = "pack, list, compare, verify and extract Orvex installers";

const char kDescription[] =
    "DESCRIPTION\n"
    "    sfxpack packs a folder behind the installer executable of the Orvex\n"
    "    messaging client, and lists, compares, verifies and unpacks such\n"
    "    installers. It reads them with the installer's own reader and codec:\n"
    "    what sfxpack accepts, the installer accepts. The same folder gives the\n"
    "    same installer, byte for byte, on Linux and on Windows.\n"
    "\n"
    "    Errors go to standard error, one line each, starting with \"sfxpack:\"\n"
    "    and naming the file they concern.\n";

const char kCommands[] =
    "COMMANDS\n"
    "    build --stub STUB --from DIR -o OUT   pack DIR behind a copy of STUB\n"
    "    list SETUP [--json]                   show the entries of an installer\n"
    "    verify SETUP [--against DIR]          decode every entry, compare with DIR\n"
    "    extract SETUP DEST [--keep-data]      unpack as the installer would\n"
    "    diff SETUP_A SETUP_B                  name entries added, removed, changed\n"
    "    encode IN OUT                         pack one file into a raw LZARI stream\n"
    "    decode IN OUT                         unpack one raw LZARI stream\n"
    "\n"
    "    sfxpack COMMAND --help (or sfxpack help COMMAND) shows the manual of a\n"
    "    command; sfxpack --version prints the version.\n";

const char kExitStatus[] =
    "EXIT STATUS\n"
    "    0      success; for diff, the installers are the same\n"
    "    1      a failure of the data: a refused folder, a damaged installer, a\n"
    "           file that cannot be read or written, a full disk, standard\n"
    "           output that cannot be written; for diff, also: the installers\n"
    "           differ\n"
    "    2      a usage error\n"
    "    128+N  ended by signal N (130 for SIGINT or Ctrl-C, 143 for SIGTERM),\n"
    "           after removing what was incomplete\n";

const char kExamples[] =
    "EXAMPLES\n"
    "    Pack a folder behind the installer stub, then check every entry against\n"
    "    the folder:\n"
    "        sfxpack build --stub OrvexStub.exe --from payload -o OrvexSetup.exe\n"
    "        sfxpack verify OrvexSetup.exe --against payload\n"
    "\n"
    "    Read the entries of a setup in a script:\n"
    "        sfxpack list OrvexSetup.exe --json\n"
    "\n"
    "    Name what changed between two releases:\n"
    "        sfxpack diff OrvexSetup-1.0.exe OrvexSetup-1.1.exe\n"
    "\n"
    "    Unpack a setup over an earlier installation, as the installer would,\n"
    "    keeping the user's data:\n"
    "        sfxpack extract OrvexSetup.exe installed --keep-data\n";

const HelpPage kPages[] = {
    {"build", "sfxpack build --stub STUB --from DIR -o OUT [-j N] [--quiet] [--max-path-folder FOLDER]",
     "DESCRIPTION\n"
     "    Appends the archive of every file below DIR to a copy of STUB and writes\n"
     "    it to OUT. Each file is stored under its path relative to DIR, with\n"
     "    backslashes, in GBK (code page 936), followed by \".zup\"; entries stand\n"
     "    in the order of those bytes. The same folder gives the same bytes\n"
     "    whatever N is, run after run, on Linux and on Windows.\n"
     "\n"
     "    Before anything is written, every file is checked and every problem is\n"
     "    reported, each naming its file: more than 256 files; a name GBK cannot\n"
     "    write; a stored name of 1000 bytes or more; a \"..\" component, a colon, a\n"
     "    wildcard, a control character or a device name (CON, NUL, COM1, ...); a\n"
     "    name part ending in a dot or a blank; two names equal but for letter\n"
     "    case; a stored name equal to another file's installed name; a file that\n"
     "    cannot be opened; a link to nothing, to a folder or in a loop; a folder\n"
     "    that cannot be read; a stub that is not a PE executable or is signed\n"
     "    (sign the finished setup instead); an OUT inside DIR. Any of them\n"
     "    refuses the build. A link to a file is packed as that file under the\n"
     "    link's own name.\n"
     "\n"
     "    A warning (the build goes on) names each file whose temporary path\n"
     "    below the longest installation folder the installer proposes\n"
     "    (\"c:\\Ithra通讯\" and eight digits) would reach 260 bytes, and the\n"
     "    longest such path. Another warning names each folder that holds no\n"
     "    file: the installer creates folders only for files.\n"
     "\n"
     "    OUT appears whole or not at all: it is written under a temporary name\n"
     "    and renamed at the end. A full disk, a read error or any other failure\n"
     "    leaves no output and no temporary file.\n"
     "\n"
     "OPTIONS\n"
     "    --stub STUB    the installer executable the archive is appended to\n"
     "    --from DIR     the folder to pack\n"
     "    -o OUT         the installer to write\n"
     "    -j N           encode with N threads (1 to 256); default: the number\n"
     "                   of processors\n"
     "    -q, --quiet    no progress line; only the summary\n"
     "    --max-path-folder FOLDER\n"
     "                   check the path lengths against FOLDER instead of the\n"
     "                   folder the installer proposes\n"
     "\n"
     "OUTPUT\n"
     "    On a terminal, a progress line on stderr (entries, bytes, time left).\n"
     "    At the end one summary line on stdout: entries, unpacked and packed\n"
     "    bytes, the ratio and the time taken.\n"},
    {"list", "sfxpack list SETUP [--json]",
     "DESCRIPTION\n"
     "    Shows the directory of an installer, read by the installer's own\n"
     "    reader: each entry's number, packed size, payload offset, unpacked size\n"
     "    and stored name, then the totals, then \"signed, certificate table N\n"
     "    bytes\" or \"not signed\". A signed setup is read in front of its\n"
     "    certificate table, as the installer reads it.\n"
     "    A line before that says whether it carries digests (JSON: \"digests\").\n"
     "\n"
     "OPTIONS\n"
     "    --json    one JSON object instead of the table:\n"
     "              {\"entries\": [{\"index\", \"name\", \"name_gbk_hex\", \"packed_size\",\n"
     "              \"offset\", \"unpacked_size\"}, ...], \"totals\": {\"entries\",\n"
     "              \"packed_size\", \"unpacked_size\"}, \"signed\",\n"
     "              \"certificate_table_size\"}. \"name\" is the stored name\n"
     "              (suffix included) in UTF-8, \"name_gbk_hex\" its bytes as the\n"
     "              installer holds them, in lower-case hex.\n"},
    {"verify", "sfxpack verify SETUP [--against DIR] [-v]",
     "DESCRIPTION\n"
     "    Decodes every entry with the installer's own reader and codec, in\n"
     "    memory (nothing is written), and reports whether each decodes whole;\n"
     "    entries that share a stream are decoded once. With --against, instead\n"
     "    compares every entry as it decodes with the file of the same name below\n"
     "    DIR, and names files found on only one side or that cannot be read; a\n"
     "    folder of DIR that cannot be read fails the whole run. The last line\n"
     "    says whether the setup is signed and how large its certificate table is.\n"
     "    Digests, when the setup carries them, are checked first: the first entry\n"
     "    whose packed bytes differ from its digest (or the directory) is named.\n"
     "\n"
     "OPTIONS\n"
     "    --against DIR    the folder the installer was built from\n"
     "    -v               name each entry as it is unpacked\n"},
    {"extract", "sfxpack extract SETUP DEST [--keep-data] [-v]",
     "DESCRIPTION\n"
     "    Unpacks the installer below DEST exactly as the installer would, with\n"
     "    its own engine: last entry first, folders created as needed. All or\n"
     "    nothing: a file in use, too little space or a folder it cannot use\n"
     "    stops it before its first write; a failure or an interrupt later\n"
     "    (exit status 130 for SIGINT, 143 for SIGTERM) puts DEST back as it\n"
     "    was, and a run that was killed is put back by the next one in DEST.\n"
     "\n"
     "OPTIONS\n"
     "    --keep-data    keep mode: the protected user-data files already in\n"
     "                   DEST are left as they are\n"
     "    -v             name each entry as it is unpacked\n"},
    {"diff", "sfxpack diff SETUP_A SETUP_B",
     "DESCRIPTION\n"
     "    Compares two installers entry by entry, matching stored names byte for\n"
     "    byte, and names the entries added in SETUP_B, removed from SETUP_A and\n"
     "    changed. A changed entry either has other content (its unpacked bytes\n"
     "    differ) or only other packed bytes for the same content. A different\n"
     "    program image in front of the archive is named too.\n"
     "\n"
     "    Exit status 0 when the installers hold the same program image and the\n"
     "    same entries, 1 when they differ (or one cannot be read).\n"},
    {"encode", "sfxpack encode IN OUT",
     "DESCRIPTION\n"
     "    Packs one file into a raw LZARI stream: the unpacked length as four\n"
     "    little-endian bytes, then the code bits. This is an entry's payload.\n"},
    {"decode", "sfxpack decode IN OUT",
     "DESCRIPTION\n"
     "    Unpacks one raw LZARI stream. A stream that ends before its data is a\n"
     "    failure, and OUT is not left behind.\n"},
};

const HelpPage* FindPage(const std::string& command)
{
    for (const HelpPage& page : kPages)
        if (command == page.command)
            return &page;
    return nullptr;
}

}  // namespace

bool WantsHelp(const std::vector<std::string>& argv)
{
    for (const std::string& a : argv)
        if (a == "--help" || a == "-h")
            return true;
    return false;
}

const Manual& TheManual()
{
    static const Manual manual = {kSummary, kDescription, kCommands, kPages, sizeof kPages / sizeof kPages[0],
                                  kExitStatus, kExamples};
    return manual;
}

const char* OverviewText()
{
    static const std::string text = std::string("sfxpack - ") + kSummary + "\n\nusage: sfxpack COMMAND ...\n\n" +
                                    kDescription + "\n" + kCommands + "\n" + kExamples + "\n" + kExitStatus;
    return text.c_str();
}

int ShowHelp(const std::string& command)
{
    if (command.empty()) {
        std::fputs(OverviewText(), stdout);
        return EXIT_OK;
    }
    const HelpPage* page = FindPage(command);
    if (!page) {
        Error("no manual for '" + command + "'");
        return EXIT_USAGE;
    }
    std::printf("NAME\n    sfxpack %s\n\nSYNOPSIS\n    %s\n\n%s\n%s", page->command, page->synopsis, page->body, kExitStatus);
    return EXIT_OK;
}

std::string UsageLine(const std::string& command)
{
    const HelpPage* page = FindPage(command);
    return page ? std::string("usage: ") + page->synopsis : std::string("usage: sfxpack COMMAND ...");
}

}  // namespace sfxpack
