#include "commands.h"

#include "core/common/escaped_text.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/scl/scl_model.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

namespace sw::cli {

namespace {

constexpr const char* kUsage =
    "Usage: sw40512-cli tree [--count] [--ied NAME [--ied-position N]] FILE\n"
    "Prints the model of an SCL file's first IED, or of the IED named NAME. Where several IEDs of the file\n"
    "share that name, the first is shown and standard error says so; --ied-position N shows the N-th of\n"
    "them (as \"ieds\" numbers them). Names are quoted, with quotes, backslashes and control characters\n"
    "escaped.\n";

// Writes in large blocks: a big device prints millions of lines.
class Printer {
public:
    ~Printer() { std::fwrite(m_text.data(), 1, m_text.size(), stdout); }

    Printer& line(int level) {
        if (m_text.size() > (1u << 20)) {
            std::fwrite(m_text.data(), 1, m_text.size(), stdout);
            m_text.clear();
        }
        if (m_started) {
            m_text += '\n';
        }
        m_started = true;
        m_text.append(static_cast<std::size_t>(level) * 2, ' ');
        return *this;
    }
    Printer& word(const char* text) {
        m_text += text;
        return *this;
    }
    // Names come from the file: quotes, backslashes and control characters are escaped, so that each
    // printed line is one node.
    Printer& quoted(const std::string& text) {
        m_text += '"';
        appendEscaped(m_text, text, '"');
        m_text += '"';
        return *this;
    }
    void finish() {
        m_text += '\n';
        m_started = false;
    }

private:
    std::string m_text;
    bool m_started = false;
};

void printAttribute(Printer& out, const SclDataAttribute& attribute, int level) {
    out.line(level);
    out.word("DA ").quoted(attribute.fName()).word(" fc ").quoted(attribute.fFC());
    out.word(" bType ").quoted(attribute.fbType()).word(" ref ").quoted(attribute.fReference());
    for (const auto& sub : attribute.dataAttributes()) {
        printAttribute(out, *sub, level + 1);
    }
}

void printObject(Printer& out, const SclDataObject& object, int level) {
    out.line(level);
    out.word("DO ").quoted(object.fName());
    for (const auto& sub : object.dataObjects()) {
        printObject(out, *sub, level + 1);
    }
    for (const auto& attribute : object.dataAttributes()) {
        printAttribute(out, *attribute, level + 1);
    }
}

void printDevice(const SclIed& device) {
    Printer out;
    out.line(0);
    out.word("IED ").quoted(device.fName()).word(" file ").quoted(device.fFileName());
    for (const auto& ld : device.logicalDevices()) {
        out.line(1);
        out.word("LD ").quoted(ld->fName());
        for (const auto& ln : ld->logicalNodes()) {
            out.line(2);
            out.word("LN ").quoted(ln->fPrefix()).word(" ").quoted(ln->flnClass()).word(" ");
            out.quoted(ln->fInst()).word(" type ").quoted(ln->flnType());
            for (const auto& object : ln->dataObjects()) {
                printObject(out, *object, 3);
            }
            for (const auto& dataSet : ln->dataSets()) {
                out.line(3);
                out.word("DS ").quoted(dataSet->fName()).word(" ref ").quoted(dataSet->fReference());
                out.word(" goose ").quoted(dataSet->fGooseName());
                for (const SclDataSetMember& member : dataSet->members()) {
                    out.line(4);
                    if (member.attribute == nullptr) {
                        out.word("member unresolved ").quoted(*member.written);
                        continue;
                    }
                    out.word("member ").quoted(member.fReference());
                    if (member.wholeObject) {
                        out.word(" whole data object");
                    }
                }
            }
        }
    }
    out.finish();
}

struct Counts {
    std::size_t lds = 0, lns = 0, dos = 0, das = 0, dataSets = 0, members = 0, unresolved = 0;
};

void countAttributes(SclList<SclDataAttribute> list, Counts& counts) {
    counts.das += list.size();
    for (const SclDataAttribute* attribute : list) {
        countAttributes(attribute->dataAttributes(), counts);
    }
}

void countObjects(SclList<SclDataObject> list, Counts& counts) {
    counts.dos += list.size();
    for (const SclDataObject* object : list) {
        countObjects(object->dataObjects(), counts);
        countAttributes(object->dataAttributes(), counts);
    }
}

void printCounts(const SclIed& device) {
    Counts counts;
    counts.lds = device.logicalDevices().size();
    for (const auto& ld : device.logicalDevices()) {
        counts.lns += ld->logicalNodes().size();
        for (const auto& ln : ld->logicalNodes()) {
            countObjects(ln->dataObjects(), counts);
            counts.dataSets += ln->dataSets().size();
            for (const auto& dataSet : ln->dataSets()) {
                counts.members += dataSet->dataAttributes().size();
                counts.unresolved += dataSet->members().size() - dataSet->dataAttributes().size();
            }
        }
    }
    std::cout << "lds " << counts.lds << " lns " << counts.lns << " dos " << counts.dos << " das "
              << counts.das << " datasets " << counts.dataSets << " members " << counts.members;
    if (counts.unresolved > 0) {
        std::cout << " unresolved " << counts.unresolved;
    }
    std::cout << "\n";
}

} // namespace

int runTree(const std::vector<std::string>& args) {
    bool countOnly = false;
    std::optional<std::string> iedName;
    std::optional<std::size_t> position;
    std::string file;
    bool valid = true;
    for (std::size_t i = 0; i < args.size() && valid; ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--count" && !countOnly) {
            countOnly = true;
        } else if (arg == "--ied") {
            valid = !iedName && i + 1 < args.size() && !args[i + 1].empty();
            if (valid) {
                iedName = args[++i];
            }
        } else if (arg == "--ied-position") {
            const std::optional<std::int32_t> number =
                !position && i + 1 < args.size() ? parseInteger(args[i + 1]) : std::nullopt;
            valid = number && *number >= 1;
            if (valid) {
                position = static_cast<std::size_t>(*number);
                ++i;
            }
        } else if (file.empty() && !arg.empty()) {
            file = arg;
        } else {
            valid = false;
        }
    }
    if (file.empty() || !valid || (position && !iedName)) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string shownFile = escapeControlCharacters(file);
    // The loader reads a missing file as an empty device; here a mistyped name deserves an error.
    std::error_code error;
    if (!std::filesystem::is_regular_file(pathFromUtf8(file), error)) {
        std::cerr << "The file \"" << shownFile << "\" does not exist.\n";
        return 1;
    }
    try {
        std::unique_ptr<SclIed> device;
        if (iedName) {
            const std::string shownName = escapeControlCharacters(*iedName);
            std::size_t sameName = 0;
            device = SclIed::loadIedAt(pathFromUtf8(file), *iedName, position.value_or(1) - 1, sameName);
            if (sameName == 0) {
                std::cerr << "The file \"" << shownFile << "\" holds no IED named \"" << shownName << "\".\n";
                return 1;
            }
            if (device == nullptr) {
                std::cerr << "The file \"" << shownFile << "\" holds " << sameName << " IED"
                          << (sameName == 1 ? "" : "s") << " named \"" << shownName << "\", not " << *position
                          << ".\n";
                return 1;
            }
            // A name several IEDs share picks one of them only by its place: say which one is shown.
            if (sameName > 1) {
                std::cerr << "IED " << position.value_or(1) << " of " << sameName << " named \"" << shownName
                          << "\"" << (position ? "" : " (--ied-position N shows another)") << ".\n";
            }
        } else {
            device = std::make_unique<SclIed>(pathFromUtf8(file));
        }
        if (countOnly) {
            printCounts(*device);
        } else {
            printDevice(*device);
        }
    } catch (const std::exception& failure) {
        std::cerr << escapeControlCharacters(failure.what()) << "\n";
        return 1;
    }
    std::fflush(stdout);
    return 0;
}

} // namespace sw::cli
