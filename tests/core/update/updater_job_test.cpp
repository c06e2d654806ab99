#include "core/image/image_builder.h"
#include "core/update/job_file.h"
#include "core/update/updater_job.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A program folder with the firmware placeholder, a project with freshly built images, and the job for
// all three operations.
struct UpdateFolder {
    UpdateFolder() {
        std::filesystem::create_directories(dir / "MASTER");
        std::filesystem::create_directories(dir / "PROJECTS" / "P" / "bin");
        sw::test::writeFile(dir / "MASTER" / "Sim40512.sim", "firmware placeholder");
        sw::saveImageFiles(sw::buildImages(dir / "none.xml", dir / "none.xml", ','),
                           dir / "PROJECTS" / "P" / "bin");
        job.address = "127.0.0.1";
        job.masterFolder = dir / "MASTER";
        job.projectFolder = dir / "PROJECTS" / "P";
    }
    std::filesystem::path bank(const char* name) const { return dir / "PROJECTS" / "P" / "bin" / name; }
    sw::UpdaterRun check(const std::string& bytes) const {
        return sw::checkUpdateJob(sw::readJobBytes(bytes, "job"), dir.path());
    }

    sw::test::TempDir dir;
    sw::UpdateJob job;
};

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& line : lines) {
        all += line + "\n";
    }
    return all;
}

TEST(StandInUpdater, AcceptsTheJobTheConfiguratorWritesForEveryOption) {
    UpdateFolder folder;
    for (const sw::UpdateOption option : {sw::UpdateOption::FirmwareAndConfiguration,
                                          sw::UpdateOption::Firmware, sw::UpdateOption::Configuration}) {
        folder.job.option = option;
        sw::compileParameters(folder.job, folder.dir.path());
        const sw::UpdaterRun run = sw::runUpdaterJob(folder.dir.path());
        EXPECT_TRUE(run.sound()) << joined(run.problems);
        const std::size_t operations = option == sw::UpdateOption::FirmwareAndConfiguration ? 3
                                       : option == sw::UpdateOption::Firmware               ? 1
                                                                                            : 2;
        ASSERT_EQ(run.transfer.size(), 1 + operations);
        EXPECT_NE(run.transfer[0].find("127.0.0.1"), std::string::npos);
        // Every operation says which device it goes to.
        for (std::size_t i = 1; i < run.transfer.size(); ++i) {
            EXPECT_NE(run.transfer[i].find(" to 127.0.0.1: "), std::string::npos) << run.transfer[i];
        }
        EXPECT_NE(run.transfer.back().find("then start the application"), std::string::npos);
    }
    folder.job.option = sw::UpdateOption::FirmwareAndConfiguration;
    const sw::UpdaterRun run = folder.check(sw::jobFileBytes(folder.job));
    EXPECT_NE(run.transfer[1].find("the firmware"), std::string::npos);
    EXPECT_NE(run.transfer[2].find("the parameter block"), std::string::npos);
    EXPECT_NE(run.transfer[2].find("(2048 bytes) to 0x07000"), std::string::npos) << run.transfer[2];
    EXPECT_NE(run.transfer[3].find("bank2.bin\" (24 bytes) to 0x80000"), std::string::npos)
        << run.transfer[3];
}

TEST(StandInUpdater, RefusesABrokenJobOrImageWithAReason) {
    struct Case {
        const char* name;
        std::function<void(UpdateFolder&, std::string&)> breakIt;
        const char* reason;
    };
    auto replace = [](std::string& bytes, const std::string& from, const std::string& to) {
        bytes.replace(bytes.find(from), from.size(), to);
    };
    const Case cases[] = {
        {"corrupted bank1.bin",
         [](UpdateFolder& f, std::string&) {
             std::string bytes = sw::test::readFile(f.bank("bank1.bin"));
             bytes[100] = static_cast<char>(bytes[100] ^ 0x5A);
             sw::test::writeFile(f.bank("bank1.bin"), bytes);
         },
         "bank1.bin: The checksum"},
        {"short bank1.bin",
         [](UpdateFolder& f, std::string&) { sw::test::writeFile(f.bank("bank1.bin"), "short"); },
         "5 bytes long instead of 2048"},
        {"bank2.bin built for another address",
         [](UpdateFolder& f, std::string&) {
             std::string bytes = sw::test::readFile(f.bank("bank2.bin"));
             bytes[18] = 0x09;
             sw::test::writeFile(f.bank("bank2.bin"), bytes);
         },
         "bank2.bin: The variable table address"},
        {"missing firmware",
         [](UpdateFolder& f, std::string&) { std::filesystem::remove(f.dir / "MASTER" / "Sim40512.sim"); },
         "Sim40512.sim"},
        {"image folder in place of a file",
         [](UpdateFolder& f, std::string&) {
             std::filesystem::remove(f.bank("bank2.bin"));
             std::filesystem::create_directory(f.bank("bank2.bin"));
         },
         "Operation 3: "},
        {"unknown format version", [&](UpdateFolder&, std::string& job) { replace(job, ">1000<", ">999<"); },
         "Version is \"999\""},
        {"port out of range",
         [&](UpdateFolder&, std::string& job) { replace(job, "<Boot_Port>2008", "<Boot_Port>70000"); },
         "Boot_Port is \"70000\""},
        {"address with letters",
         [&](UpdateFolder&, std::string& job) { replace(job, ">127.0.0.1<", ">a.b.c.d<"); },
         "IP_Address_Dev is \"a.b.c.d\""},
        {"operation without a field",
         [&](UpdateFolder&, std::string& job) { replace(job, "<Ope_Memory_Type>0</Ope_Memory_Type>", ""); },
         "Operation 1 does not hold the twenty fields"},
        {"read-back flag not a flag",
         [&](UpdateFolder&, std::string& job) { replace(job, "<Ope_Read_Back>1<", "<Ope_Read_Back>yes<"); },
         "Operation 1: Ope_Read_Back is \"yes\""},
        {"file sent where nothing of ours goes",
         [&](UpdateFolder&, std::string& job) { replace(job, ">0x07000<", ">0x07004<"); },
         "Operation 2 sends"},
        {"no operations",
         [&](UpdateFolder&, std::string& job) {
             job = job.substr(0, job.find("<Operations>")) + "<Operations/></Ethernet_Update>";
         },
         "no operation"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateFolder folder;
        std::string bytes = sw::jobFileBytes(folder.job);
        c.breakIt(folder, bytes);
        const sw::UpdaterRun run = folder.check(bytes);
        EXPECT_FALSE(run.sound());
        EXPECT_NE(joined(run.problems).find(c.reason), std::string::npos) << joined(run.problems);
    }
}

TEST(StandInUpdater, RefusesFirmwareFromOutsideMasterAndOperationsForAnotherDevice) {
    struct Case {
        const char* name;
        std::function<void(UpdateFolder&, std::string&)> breakIt;
        const char* reason;
    };
    auto replace = [](std::string& bytes, const std::string& from, const std::string& to) {
        const auto at = bytes.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        bytes.replace(at, from.size(), to);
    };
    // The firmware's Ope_FileName as the configurator writes it, to be replaced by a hostile one.
    auto firmwareName = [](const UpdateFolder& f) {
        return ">" + sw::utf8Of(f.dir / "MASTER" / "Sim40512.sim") + "<";
    };
    const Case cases[] = {
        {"empty firmware",
         [](UpdateFolder& f, std::string&) { sw::test::writeFile(f.dir / "MASTER" / "Sim40512.sim", ""); },
         "is empty"},
        {"firmware folder in place of the file",
         [](UpdateFolder& f, std::string&) {
             std::filesystem::remove(f.dir / "MASTER" / "Sim40512.sim");
             std::filesystem::create_directory(f.dir / "MASTER" / "Sim40512.sim");
         },
         "is not a regular file"},
        {"firmware named through .. out of MASTER",
         [&](UpdateFolder& f, std::string& job) {
             sw::test::writeFile(f.dir / "outside.sim", "not the firmware");
             replace(job, firmwareName(f), ">" + sw::utf8Of(f.dir / "MASTER" / ".." / "outside.sim") + "<");
         },
         "is not a file of the folder"},
        {"firmware climbing to the system's files",
         [&](UpdateFolder& f, std::string& job) {
             replace(job, firmwareName(f),
                     ">" +
                         sw::utf8Of(f.dir / "MASTER" / ".." / ".." / ".." / ".." / ".." / ".." / "etc" /
                                    "passwd") +
                         "<");
         },
         "is not a file of the folder"},
        {"relative firmware name",
         [&](UpdateFolder& f, std::string& job) {
             replace(job, firmwareName(f), ">../../../../etc/passwd<");
         },
         "Ope_FileName is \"../../../../etc/passwd\", not the absolute path"},
        {"an image sent as the firmware",
         [&](UpdateFolder& f, std::string& job) {
             replace(job, firmwareName(f), ">" + sw::utf8Of(f.bank("bank1.bin")) + "<");
         },
         "is not a file of the folder"},
#ifndef _WIN32
        {"firmware linked to a file outside MASTER",
         [](UpdateFolder& f, std::string&) {
             sw::test::writeFile(f.dir / "elsewhere.sim", "some other file");
             std::filesystem::remove(f.dir / "MASTER" / "Sim40512.sim");
             std::filesystem::create_symlink(f.dir / "elsewhere.sim", f.dir / "MASTER" / "Sim40512.sim");
         },
         "is not a file of the folder"},
        {"firmware reached through a folder link inside MASTER that leads out",
         [&](UpdateFolder& f, std::string& job) {
             std::filesystem::create_directories(f.dir / "other");
             sw::test::writeFile(f.dir / "other" / "x.sim", "x");
             std::filesystem::create_directory_symlink(f.dir / "other", f.dir / "MASTER" / "link");
             replace(job, firmwareName(f), ">" + sw::utf8Of(f.dir / "MASTER" / "link" / "x.sim") + "<");
         },
         "is not a file of the folder"},
#endif
        {"operation sent to another device",
         [&](UpdateFolder&, std::string& job) {
             replace(job, "<Ope_IP_Address/>", "<Ope_IP_Address>127.0.0.2</Ope_IP_Address>");
         },
         "Operation 1 goes to 127.0.0.2, not to the job's device 127.0.0.1"},
        {"operation address with leading zeros",
         [&](UpdateFolder&, std::string& job) {
             replace(job, "<Ope_IP_Address/>", "<Ope_IP_Address>127.000.000.001</Ope_IP_Address>");
         },
         "Ope_IP_Address is \"127.000.000.001\""},
        {"device address with a leading zero",
         [&](UpdateFolder&, std::string& job) { replace(job, ">127.0.0.1<", ">0127.0.0.1<"); },
         "IP_Address_Dev is \"0127.0.0.1\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateFolder folder;
        std::string bytes = sw::jobFileBytes(folder.job);
        c.breakIt(folder, bytes);
        const sw::UpdaterRun run = folder.check(bytes);
        EXPECT_FALSE(run.sound());
        EXPECT_NE(joined(run.problems).find(c.reason), std::string::npos) << joined(run.problems);
    }

    // Operations that name the job's device themselves, and a firmware named through a detour that ends
    // in MASTER, are sound; each line names the device.
    UpdateFolder folder;
    std::string bytes = sw::jobFileBytes(folder.job);
    for (auto at = bytes.find("<Ope_IP_Address/>"); at != std::string::npos;
         at = bytes.find("<Ope_IP_Address/>")) {
        bytes.replace(at, 17, "<Ope_IP_Address>127.0.0.1</Ope_IP_Address>");
    }
    replace(bytes, firmwareName(folder),
            ">" + sw::utf8Of(folder.dir / "MASTER" / ".." / "MASTER" / "Sim40512.sim") + "<");
    const sw::UpdaterRun run = folder.check(bytes);
    EXPECT_TRUE(run.sound()) << joined(run.problems);
    ASSERT_EQ(run.transfer.size(), 4u);
    EXPECT_NE(run.transfer[1].find("Operation 1 of 3 to 127.0.0.1: send the firmware"), std::string::npos)
        << run.transfer[1];
}

TEST(StandInUpdater, AMissingOrUnreadableJobFileIsAProblem) {
    sw::test::TempDir dir;
    EXPECT_NE(joined(sw::runUpdaterJob(dir.path()).problems).find("Ethernet_Update.xml"), std::string::npos);
    sw::test::writeFile(dir / "Ethernet_Update.xml", "<Ethernet_Update>");
    EXPECT_FALSE(sw::runUpdaterJob(dir.path()).sound());
}

} // namespace
