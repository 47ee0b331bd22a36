#pragma once
#define VEL_COPYRIGHT "Copyright (c) 2026 Corvana Project"
#define VEL_COMPANY "Corvana Project"
