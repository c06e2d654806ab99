#pragma once

#include <string>
#include <vector>

// Each subcommand receives the arguments after its own name and returns the process exit code.
namespace sw::cli {

int runParameters(const std::vector<std::string>& args);
int runTree(const std::vector<std::string>& args);
int runIeds(const std::vector<std::string>& args);
int runBuild(const std::vector<std::string>& args);
int runDump(const std::vector<std::string>& args);
int runCheck(const std::vector<std::string>& args);
int runUpdate(const std::vector<std::string>& args);
int runCheckVersion(const std::vector<std::string>& args);
int runLive(const std::vector<std::string>& args);
int runSimulate(const std::vector<std::string>& args);
int runLint(const std::vector<std::string>& args);
int runExport(const std::vector<std::string>& args);
int runImport(const std::vector<std::string>& args);
int runReport(const std::vector<std::string>& args);

} // namespace sw::cli
