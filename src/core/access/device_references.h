#pragma once

#include <memory>
#include <string_view>

namespace sw {
class TIEC_Device;
}

namespace sw::access {

// The references a loaded device holds, for the stale-reference check: every data attribute at any depth
// and every data set, gathered on first use.
class DeviceReferences {
public:
    explicit DeviceReferences(const TIEC_Device& device);
    ~DeviceReferences();
    DeviceReferences(DeviceReferences&&) noexcept;
    DeviceReferences& operator=(DeviceReferences&&) noexcept;

    bool hasAttribute(std::string_view reference) const;
    bool hasDataSet(std::string_view reference) const;
    // Whether the data set (its first of that reference) has a member of that reference.
    bool dataSetHasMember(std::string_view dataSet, std::string_view memberReference) const;

private:
    struct Index;
    const Index& index() const;
    const TIEC_Device* m_device;
    mutable std::unique_ptr<Index> m_index;
};

} // namespace sw::access
