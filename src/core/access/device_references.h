#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace sw {
class SclIed;
class SclDataSet;
} // namespace sw

namespace sw::access {

// The references a loaded device holds, for the stale-reference check: every data attribute at any depth
// and every data set, gathered on first use.
class DeviceReferences {
public:
    explicit DeviceReferences(const SclIed& device);
    ~DeviceReferences();
    DeviceReferences(DeviceReferences&&) noexcept;
    DeviceReferences& operator=(DeviceReferences&&) noexcept;

    bool hasAttribute(std::string_view reference) const;
    bool hasDataSet(std::string_view reference) const;
    // The data set of that reference (its own, else its older class-only name); null when none.
    const SclDataSet* dataSet(std::string_view reference) const;
    // Whether the data set (its first of that reference) has a member of that reference.
    bool dataSetHasMember(std::string_view dataSet, std::string_view memberReference) const;

private:
    struct Index;
    const Index& index() const;
    const SclIed* m_device;
    mutable std::unique_ptr<Index> m_index;
};

// What is wrong with a data set whose members could not all be found in its SCL file, naming the first
// such member by its place and as written; empty when every member was found.
std::string incompleteDataSetText(const SclDataSet& dataSet);

} // namespace sw::access
