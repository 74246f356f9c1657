#include <algorithm>

#include "tools/tool_groups.h"

const std::vector<ToolInfo>& AllTools() {
    static const std::vector<ToolInfo> tools = [] {
        std::vector<ToolInfo> all;
        RegisterGeneratorTools(all);
        RegisterModifierTools(all);
        RegisterCorrelationTools(all);
        RegisterLengthTools(all);
        RegisterResampleTools(all);
        RegisterTransformTools(all);
        RegisterFirFileTools(all);
        RegisterFilterTools(all);
        return all;
    }();
    return tools;
}

const ToolInfo* FindTool(int id) {
    const auto& all = AllTools();
    const auto it =
        std::find_if(all.begin(), all.end(), [id](const ToolInfo& t) { return t.id == id; });
    return it == all.end() ? nullptr : &*it;
}

const ToolInfo* FindTool(const std::string& name) {
    const auto& all = AllTools();
    const auto it =
        std::find_if(all.begin(), all.end(), [&](const ToolInfo& t) { return name == t.name; });
    return it == all.end() ? nullptr : &*it;
}
