#include <algorithm>

#include "tools/tool_groups.h"

const std::vector<ToolRow>& AllTools() {
    static const std::vector<ToolRow> tools = [] {
        std::vector<ToolRow> all;
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

const ToolRow* FindTool(int id) {
    const auto& all = AllTools();
    const auto it =
        std::find_if(all.begin(), all.end(), [id](const ToolRow& t) { return t.id == id; });
    return it == all.end() ? nullptr : &*it;
}

const ToolRow* FindTool(const std::string& name) {
    const auto& all = AllTools();
    const auto it =
        std::find_if(all.begin(), all.end(), [&](const ToolRow& t) { return name == t.name; });
    return it == all.end() ? nullptr : &*it;
}
