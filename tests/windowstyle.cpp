// Prints the style Windows keeps for the window titled "Tunewright", once it shows: the
// frameless window must still carry the system menu and the minimise box that its taskbar
// button needs.
#include <windows.h>

#include <cstdio>

int main()
{
    for (int attempt = 0; attempt < 300; ++attempt) {
        const HWND window = FindWindowW(nullptr, L"Tunewright");
        if (window && IsWindowVisible(window)) {
            std::printf("0x%08llx\n",
                        static_cast<unsigned long long>(GetWindowLongPtrW(window, GWL_STYLE)));
            return 0;
        }
        Sleep(100);
    }
    return 1;
}
