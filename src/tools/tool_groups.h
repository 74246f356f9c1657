#pragma once
// Each group of tools adds its ToolInfos to the program's table (tool_table.cpp).

#include <vector>

#include "tools/tool.h"

void RegisterGeneratorTools(std::vector<ToolInfo>& tools);
// The sample-wise modifiers; adds the shift and combine tools below as well.
void RegisterModifierTools(std::vector<ToolInfo>& tools);
void RegisterShiftTools(std::vector<ToolInfo>& tools);
void RegisterCombineTools(std::vector<ToolInfo>& tools);
void RegisterCorrelationTools(std::vector<ToolInfo>& tools);
// Length, appending, resampling, and replacing the samples by a transform.
void RegisterLengthTools(std::vector<ToolInfo>& tools);
void RegisterResampleTools(std::vector<ToolInfo>& tools);
void RegisterTransformTools(std::vector<ToolInfo>& tools);
// FIR filtering with taps from a file.
void RegisterFirFileTools(std::vector<ToolInfo>& tools);
// The FFT and channel filters; adds the crest factor reduction and PA tools below as well.
void RegisterFilterTools(std::vector<ToolInfo>& tools);
void RegisterNonLinearTools(std::vector<ToolInfo>& tools);
