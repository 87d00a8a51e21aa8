#pragma once
// Small helpers shared by the asset readers.

void ZRToolbox_Startup();
