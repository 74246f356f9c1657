#pragma once
// Each group of tools adds its ToolInfos to the program's table (tool_table.cpp).

#include <vector>

#include "tools/tool.h"

void RegisterGeneratorTools(std::vector<ToolInfo>& tools);
// The sample-wise modifiers; adds the shift and combine tools below as well.
void RegisterModifierTools(std::vector<ToolInfo>& tools);
void RegisterShiftTools(std::vector<ToolInfo>& tools);
void RegisterCombineTools(std::vector<ToolInfo>& tools);
// The FFT and channel filters; adds the crest factor reduction and PA tools below as well.
void RegisterFilterTools(std::vector<ToolInfo>& tools);
void RegisterNonLinearTools(std::vector<ToolInfo>& tools);
