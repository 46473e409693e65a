// The version of both deliverables, as their version blocks state it.
#pragma once

#define UNFOLD_VERSION 1, 2, 3, 0
#define UNFOLD_VERSION_TEXT "1.2.3.0"
