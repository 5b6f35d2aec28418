#include "app/manual.h"

#include <cstring>
#include <sstream>

namespace tavrex::manual {

namespace {

const char kUsagePrefix[] = "Usage: ";
const char kUsageIndent[] = "       ";

std::size_t indentOf(const std::string &line)
{
    std::size_t n = 0;
    while (n < line.size() && line[n] == ' ')
        ++n;
    return n;
}

std::string trimmed(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool isSynopsis(const Section &section) { return section.title == "SYNOPSIS"; }

// The lines --help prints for a section, without the blank line before it.
std::vector<std::string> helpLines(const Section &section, bool firstUsage)
{
    std::vector<std::string> lines;
    if (isSynopsis(section)) {
        for (const Block &block : section.blocks)
            for (const std::string &line : block.lines) {
                lines.push_back((firstUsage ? kUsagePrefix : kUsageIndent) + line);
                firstUsage = false;
            }
        return lines;
    }
    if (!section.heading.empty())
        lines.push_back(section.heading);
    for (std::size_t b = 0; b < section.blocks.size(); ++b) {
        if (b > 0)
            lines.emplace_back();
        lines.insert(lines.end(), section.blocks[b].lines.begin(), section.blocks[b].lines.end());
    }
    return lines;
}

// A paragraph's or an item's lines as one line of running text.
void appendWords(std::string &text, const std::string &line)
{
    const std::string words = trimmed(line);
    if (words.empty())
        return;
    if (!text.empty())
        text += ' ';
    text += words;
}

std::string escapedTermPiece(const std::string &piece)
{
    std::string out;
    for (char c : piece) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    return out;
}

bool isIdentifierChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool isPlaceholder(const std::string &word)
{
    if (word.size() < 2)
        return false;
    for (char c : word)
        if (c < 'A' || c > 'Z')
            return false;
    return true;
}

std::string guarded(const std::string &line)
{
    if (!line.empty() && (line[0] == '.' || line[0] == '\''))
        return "\\&" + line;
    return line;
}

} // namespace

std::vector<Section> parse(const std::string &source)
{
    std::vector<Section> sections;
    Block *block = nullptr;  // the block being read, null after a blank line
    std::istringstream in(source);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        for (unsigned char c : line)
            if (c < 0x20 || c > 0x7e)
                throw SourceError(number, "only printable ASCII characters and spaces are allowed");
        if (!line.empty() && line[0] == '#')
            continue;
        if (trimmed(line).empty()) {
            block = nullptr;
            continue;
        }
        if (line[0] == '@') {
            Section section;
            const std::string rest = line.substr(1);
            const std::size_t bar = rest.find('|');
            section.title = trimmed(rest.substr(0, bar));
            if (section.title.empty())
                throw SourceError(number, "a section needs a title");
            if (bar != std::string::npos) {
                section.inHelp = true;
                section.heading = trimmed(rest.substr(bar + 1));
                if (section.heading.size() > kHelpWidth)
                    throw SourceError(number, "the heading is wider than --help may print");
            }
            sections.push_back(section);
            block = nullptr;
            continue;
        }
        if (sections.empty())
            throw SourceError(number, "text before the first section");
        Section &section = sections.back();
        const std::size_t indent = indentOf(line);
        if (section.inHelp) {
            const std::size_t width = line.size() + (isSynopsis(section) ? std::strlen(kUsagePrefix) : 0);
            if (width > kHelpWidth)
                throw SourceError(number, "the line is wider than --help may print (" + std::to_string(kHelpWidth) +
                                              " columns)");
        }
        if (!block) {
            section.blocks.emplace_back();
            block = &section.blocks.back();
            if (indent == 0)
                block->kind = Block::Kind::Paragraph;
            else if (indent == 2)
                block->kind = Block::Kind::List;
            else if (indent >= 4)
                block->kind = Block::Kind::Example;
            else
                throw SourceError(number, "a block starts with no indentation (a paragraph), two spaces (a list) or "
                                          "four or more (an example)");
        }
        switch (block->kind) {
        case Block::Kind::Paragraph:
            if (indent != 0)
                throw SourceError(number, "an indented line inside a paragraph");
            break;
        case Block::Kind::Example:
            if (indent < 4)
                throw SourceError(number, "an example's lines are indented by four spaces or more");
            break;
        case Block::Kind::List:
            if (indent == 2) {
                const std::size_t gap = line.find("  ", 2);
                if (gap == std::string::npos)
                    throw SourceError(number, "a list item needs two or more spaces between its term and its text");
                block->items.push_back(Item{line.substr(2, gap - 2), trimmed(line.substr(gap))});
            } else if (indent > 2) {
                appendWords(block->items.back().text, line);
            } else {
                throw SourceError(number, "a line without indentation inside a list");
            }
            break;
        }
        if (isSynopsis(section) && block->kind != Block::Kind::Paragraph)
            throw SourceError(number, "the synopsis holds one form of the command per line, without indentation");
        block->lines.push_back(line);
    }
    return sections;
}

std::string helpText(const std::vector<Section> &sections)
{
    std::string text;
    bool firstUsage = true;
    bool any = false;
    for (const Section &section : sections) {
        if (!section.inHelp)
            continue;
        const bool synopsis = isSynopsis(section);
        if (any && !synopsis)
            text += '\n';
        for (const std::string &line : helpLines(section, firstUsage))
            text += line + '\n';
        if (synopsis)
            firstUsage = false;
        any = true;
    }
    return text;
}

std::string troffText(const std::string &text)
{
    std::string out;
    bool optionWord = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool wordStart = i == 0 || std::strchr(" ([|\"'", text[i - 1]) != nullptr;
        if (c == ' ')
            optionWord = false;
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-' && (wordStart || optionWord)) {
            out += "\\-";
            optionWord = true;
        } else {
            out += c;
        }
    }
    return guarded(out);
}

std::string troffTerm(const std::string &term)
{
    std::string out;
    std::size_t i = 0;
    while (i < term.size()) {
        if (std::strchr(" []|", term[i])) {
            out += term[i++];
            continue;
        }
        std::size_t end = i;
        while (end < term.size() && !std::strchr(" []|", term[end]))
            ++end;
        // Within the run: upper-case words in italics, the rest in bold.
        std::string bold;
        const auto flushBold = [&] {
            if (!bold.empty())
                out += "\\fB" + escapedTermPiece(bold) + "\\fR";
            bold.clear();
        };
        std::size_t k = i;
        while (k < end) {
            if (!isIdentifierChar(term[k])) {
                bold += term[k++];
                continue;
            }
            std::size_t w = k;
            while (w < end && isIdentifierChar(term[w]))
                ++w;
            const std::string word = term.substr(k, w - k);
            if (isPlaceholder(word)) {
                flushBold();
                out += "\\fI" + word + "\\fR";
            } else {
                bold += word;
            }
            k = w;
        }
        flushBold();
        i = end;
    }
    return guarded(out);
}

std::string troffPage(const std::vector<Section> &sections, const std::string &name, const std::string &version)
{
    std::string upper = name;
    for (char &c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    // No hyphenation: option and file names stay whole.
    std::string page = ".TH " + upper + " 1 \"\" \"" + version + "\" \"User Commands\"\n.nh\n";
    std::vector<std::string> titles;
    for (const Section &section : sections) {
        bool seen = false;
        for (const std::string &t : titles)
            seen = seen || t == section.title;
        if (!seen)
            titles.push_back(section.title);
    }
    for (const std::string &title : titles) {
        page += ".SH " + title + "\n";
        bool first = true;
        for (const Section &section : sections) {
            if (section.title != title)
                continue;
            for (const Block &block : section.blocks) {
                if (!first && block.kind != Block::Kind::List)
                    page += ".PP\n";
                first = false;
                if (isSynopsis(section)) {
                    for (std::size_t l = 0; l < block.lines.size(); ++l)
                        page += (l > 0 ? ".br\n" : "") + troffTerm(block.lines[l]) + "\n";
                    continue;
                }
                switch (block.kind) {
                case Block::Kind::Paragraph: {
                    std::string text;
                    for (const std::string &line : block.lines)
                        appendWords(text, line);
                    page += troffText(text) + "\n";
                    break;
                }
                case Block::Kind::List:
                    for (const Item &item : block.items)
                        page += ".TP\n" + troffTerm(item.term) + "\n" + troffText(item.text) + "\n";
                    break;
                case Block::Kind::Example:
                    page += ".RS 4\n.nf\n";
                    for (const std::string &line : block.lines)
                        page += troffText(line.substr(4)) + "\n";
                    page += ".fi\n.RE\n";
                    break;
                }
            }
        }
    }
    return page;
}

std::string cppStringLiteral(const std::string &text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n\"";
            if (i + 1 < text.size())
                out += "\n    \"";
            else
                return out;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace tavrex::manual
