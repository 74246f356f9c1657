#pragma once
// Each group of tools adds its ToolInfos to the program's table (tool_table.cpp).

#include <vector>

#include "tools/tool.h"

void RegisterGeneratorTools(std::vector<ToolInfo>& tools);
