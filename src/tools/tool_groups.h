#pragma once
// Each group of tools adds its tool rows to the program's table (tool_table.cpp).

#include <vector>

#include "tools/tool.h"

void RegisterGeneratorTools(std::vector<ToolRow>& tools);
// The sample-wise modifiers; adds the shift and combine tools below as well.
void RegisterModifierTools(std::vector<ToolRow>& tools);
void RegisterShiftTools(std::vector<ToolRow>& tools);
void RegisterCombineTools(std::vector<ToolRow>& tools);
void RegisterCorrelationTools(std::vector<ToolRow>& tools);
// Length, appending, resampling, and replacing the samples by a transform.
void RegisterLengthTools(std::vector<ToolRow>& tools);
void RegisterResampleTools(std::vector<ToolRow>& tools);
void RegisterTransformTools(std::vector<ToolRow>& tools);
// FIR filtering with taps from a file.
void RegisterFirFileTools(std::vector<ToolRow>& tools);
// The FFT and channel filters; adds the crest factor reduction and PA tools below as well.
void RegisterFilterTools(std::vector<ToolRow>& tools);
void RegisterNonLinearTools(std::vector<ToolRow>& tools);
