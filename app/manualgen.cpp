// tavrex-manualgen SOURCE VERSION HEADER PAGE: reads the manual's source
// (docs/tavrex.1.txt) and writes HEADER, the text of --help and --version as
// C++ constants, and PAGE, the manual page tavrex(1). VERSION is the
// program's version as the title shows it ("4.0").

#include "app/manual.h"

#include <fstream>
#include <iostream>
#include <sstream>

namespace {

bool writeFile(const char *path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "tavrex-manualgen: cannot write " << path << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace tavrex::manual;
    if (argc != 5) {
        std::cerr << "usage: tavrex-manualgen SOURCE VERSION HEADER PAGE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "tavrex-manualgen: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::ostringstream source;
    source << in.rdbuf();
    const std::string version = std::string("Tavrex ") + argv[2];
    std::vector<Section> sections;
    try {
        sections = parse(source.str());
    } catch (const SourceError &e) {
        std::cerr << argv[1] << ": " << e.what() << "\n";
        return 1;
    }
    const std::string header =
        "// Made by tavrex-manualgen from docs/tavrex.1.txt, with the manual page\n"
        "// tavrex(1): change that file, not this one.\n"
        "#pragma once\n\n"
        "namespace tavrex {\n\n"
        "// What --help prints.\n"
        "inline constexpr char kUsageText[] =\n    " +
        cppStringLiteral(helpText(sections)) +
        ";\n\n"
        "// What --version prints.\n"
        "inline constexpr char kVersionText[] = " +
        cppStringLiteral(version + "\n") + ";\n\n} // namespace tavrex\n";
    if (!writeFile(argv[3], header) || !writeFile(argv[4], troffPage(sections, "tavrex", version)))
        return 1;
    return 0;
}
