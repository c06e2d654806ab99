#include "core/common/config_error.h"
#include "core/common/path_text.h"
#include "core/update/job_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using sw::UpdateOption;

const std::string kHead =
    "<Ethernet_Update><Version>1000</Version><Title>Brantis - SW40512 Ethernet Update</Title>"
    "<IP_Address_Dev>192.168.2.205</IP_Address_Dev><Application_Port>10000</Application_Port>"
    "<Boot_Port>2008</Boot_Port><Boot_Port_Sec>2007</Boot_Port_Sec>"
    "<Address_Protection>0x07800</Address_Protection>"
    "<Protections><Protection>0x5B1</Protection></Protections><Operations>";
const std::string kTail = "</Operations></Ethernet_Update>";

// One operation exactly as the updater expects it; only these five values differ between operations.
std::string operation(const std::string& file, const char* start, const char* bank, const char* readBack,
                      const char* writeCss, const char* goToAppAfter) {
    return std::string(
               "<Operation><Ope_Protection_Enabled/><Ope_GoToBoot_Before>0</Ope_GoToBoot_Before>"
               "<Ope_GoToApp_Before>0</Ope_GoToApp_Before><Ope_IP_Address/><Ope_Port>2008</Ope_Port>"
               "<Ope_Port_Sec>2007</Ope_Port_Sec><Ope_Erase_Memory>0</Ope_Erase_Memory><Ope_FileName>") +
           file + "</Ope_FileName><Ope_Start_Address>" + start +
           "</Ope_Start_Address><Ope_Memory_Type>0</Ope_Memory_Type><Ope_Bank_Type>" + bank +
           "</Ope_Bank_Type><Ope_Read_Back>" + readBack + "</Ope_Read_Back><Ope_Write_CSS>" + writeCss +
           "</Ope_Write_CSS><Ope_Address_CSS>0x07A00</Ope_Address_CSS><Ope_Command_CSS>0x02</Ope_Command_CSS>"
           "<Ope_Write_Internal_Data>0</Ope_Write_Internal_Data><Ope_WID_Address>0x07810</Ope_WID_Address>"
           "<Ope_WID_Command>0x02</Ope_WID_Command><Ope_WID_Data>0x00, 0x00, 0x00, 0x01</Ope_WID_Data>"
           "<Ope_GoToApp_After>" +
           goToAppAfter + "</Ope_GoToApp_After></Operation>";
}

// The folders' own names are written as given; the names below them are joined with the system's separator.
const std::string kSep(1, static_cast<char>(std::filesystem::path::preferred_separator));

sw::UpdateJob job(UpdateOption option, bool readBack) {
    sw::UpdateJob made;
    made.address = "192.168.2.205";
    made.option = option;
    made.readBack = readBack;
    made.masterFolder = "/opt/sw/MASTER";
    made.projectFolder = "/opt/sw/PROJECTS/P";
    return made;
}

TEST(JobFile, EachOptionWritesItsOperationsByteForByte) {
    const std::string firmware = "/opt/sw/MASTER" + kSep + "Sim40512.sim";
    const std::string bank1 = "/opt/sw/PROJECTS/P" + kSep + "bin" + kSep + "bank1.bin";
    const std::string bank2 = "/opt/sw/PROJECTS/P" + kSep + "bin" + kSep + "bank2.bin";
    struct Case {
        UpdateOption option;
        bool readBack;
        std::string operations;
    };
    const Case cases[] = {
        {UpdateOption::Firmware, false, operation(firmware, "0x8000", "1", "0", "1", "1")},
        {UpdateOption::Firmware, true, operation(firmware, "0x8000", "1", "1", "1", "1")},
        {UpdateOption::FirmwareAndConfiguration, true,
         operation(firmware, "0x8000", "1", "1", "1", "0") + operation(bank1, "0x07000", "2", "1", "0", "0") +
             operation(bank2, "0x80000", "2", "1", "0", "1")},
        {UpdateOption::Configuration, false,
         operation(bank1, "0x07000", "2", "0", "0", "0") + operation(bank2, "0x80000", "2", "0", "0", "1")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sw::jobFileBytes(job(c.option, c.readBack)), kHead + c.operations + kTail)
            << static_cast<int>(c.option) << " read back " << c.readBack;
    }
}

TEST(JobFile, AddressIsWrittenPlainAndPathsAsTheyAre) {
    sw::UpdateJob unusual = job(UpdateOption::Configuration, true);
    // An updater may read a leading zero as octal: only the plain decimal form reaches the file.
    unusual.address = "192.168.002.010";
    unusual.projectFolder = sw::pathFromUtf8("/home/Jürgen Größe/PROJECTS/Umspannwerk Süd & Nord");
    const std::string bytes = sw::jobFileBytes(unusual);
    EXPECT_NE(bytes.find("<IP_Address_Dev>192.168.2.10</IP_Address_Dev>"), std::string::npos);
    EXPECT_EQ(bytes.find("002"), std::string::npos);
    // Only what XML text requires is escaped.
    EXPECT_NE(bytes.find("<Ope_FileName>/home/Jürgen Größe/PROJECTS/Umspannwerk Süd &amp; Nord" + kSep +
                         "bin" + kSep + "bank1.bin</Ope_FileName>"),
              std::string::npos)
        << bytes;
    const sw::JobDocument read = sw::readJobBytes(bytes, "job");
    ASSERT_EQ(read.operations.size(), 2u);
    EXPECT_EQ(read.operations[1].get("Ope_FileName"),
              "/home/Jürgen Größe/PROJECTS/Umspannwerk Süd & Nord" + kSep + "bin" + kSep + "bank2.bin");
}

TEST(JobFile, IsReplacedWholeInTheProgramFolderAndNeverHalfWritten) {
    sw::test::TempDir dir;
    sw::test::writeFile(sw::jobFile(dir.path()), std::string(100000, 'x'));
    const sw::UpdateJob firmware = job(UpdateOption::Firmware, true);
    sw::compileParameters(firmware, dir.path());
    EXPECT_EQ(sw::test::readFile(dir / "Ethernet_Update.xml"), sw::jobFileBytes(firmware));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // A program folder that cannot take the file (here a file stands where the folder should be).
    const auto notAFolder = dir / "Ethernet_Update.xml";
    try {
        sw::compileParameters(firmware, notAFolder);
        FAIL() << "a job file was written where no folder is";
    } catch (const sw::ConfigError& error) {
        EXPECT_NE(std::string(error.what()).find("Ethernet_Update.xml"), std::string::npos) << error.what();
    }

    // A job without a usable address is never written: the earlier file stays as it was.
    sw::UpdateJob unaddressed = firmware;
    unaddressed.address = "192.168.2.256";
    EXPECT_THROW(sw::compileParameters(unaddressed, dir.path()), sw::ConfigError);
    EXPECT_EQ(sw::test::readFile(dir / "Ethernet_Update.xml"), sw::jobFileBytes(firmware));
}

TEST(JobFile, ReaderRefusesWhatIsNotAJobFile) {
    sw::test::TempDir dir;
    std::filesystem::create_directory(dir / "Ethernet_Update.xml");
    const struct {
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"<Ethernet_Update><Version>1000", "job"},
        {"<Other/>", "no Ethernet_Update"},
        {"<Ethernet_Update><Version><x/></Version></Ethernet_Update>", "not laid out"},
    };
    for (const auto& c : cases) {
        try {
            sw::readJobBytes(c.bytes, "job");
            ADD_FAILURE() << c.bytes;
        } catch (const sw::ConfigError& error) {
            EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
        }
    }
    EXPECT_THROW(sw::readJobFile(sw::jobFile(dir.path())), sw::ConfigError);
    // A comment or declaration in front of a hand-edited file is passed over.
    const auto read =
        sw::readJobBytes("<?xml version=\"1.0\"?><!-- edited --><Ethernet_Update><Version>1000</Version>"
                         "</Ethernet_Update>",
                         "job");
    EXPECT_EQ(read.get("Version"), "1000");
}

} // namespace

TEST(UpdaterLog, LastLinesComeFromTheEndOfAnyLongOutputWithoutBlankLines) {
    sw::test::TempDir dir;
    const auto log = sw::updaterLog(dir.path());
    EXPECT_EQ(log.filename(), "Ethernet_Update.log");
    EXPECT_TRUE(sw::lastLines(log, 3).empty()) << "no output yet";
    std::string output;
    for (int k = 0; k < 5000; ++k) {
        output += "line " + std::to_string(k) + "\r\n";
    }
    sw::test::writeFile(log, output + "\n  last but one  \n\nlast");
    EXPECT_EQ(sw::lastLines(log, 3), (std::vector<std::string>{"line 4999", "last but one", "last"}));
}
