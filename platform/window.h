// A window as the portable code hands it on: the HWND, or none (nullptr).
#pragma once

using WindowHandle = void*;
