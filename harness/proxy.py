"""The Windows proxy setting that sends a prefix's WinINet requests to a proxy (the tests'
proxy is Debian's squid: harness.squid).

WinINet takes the setting from the registry when a program opens its Internet handle,
so a change applies to the next program started; the environment's no_proxy replaces
the setting's ProxyOverride, and the harness sets it to bypass loopback: runs that are
to go through the proxy remove it (Wine.environment(no_proxy=None))."""

from contextlib import contextmanager

INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"


@contextmanager
def windows_proxy_setting(wine, address):
    """The prefix's Windows proxy setting (ProxyEnable 1, ProxyServer `address`, as
    host:port) for the block; then the values as they were."""
    names = ("ProxyEnable", "ProxyServer")
    before = {name: wine.reg_value(INTERNET_SETTINGS, name) for name in names}
    try:
        wine.reg_add(INTERNET_SETTINGS, "ProxyEnable", "1", "REG_DWORD")
        wine.reg_add(INTERNET_SETTINGS, "ProxyServer", address)
        yield
    finally:
        for name in names:
            if before[name] is None:
                wine.reg_delete(INTERNET_SETTINGS, name)
        if before["ProxyEnable"] is not None:
            wine.reg_add(INTERNET_SETTINGS, "ProxyEnable", str(int(before["ProxyEnable"], 16)),
                         "REG_DWORD")
        if before["ProxyServer"] is not None:
            wine.reg_add(INTERNET_SETTINGS, "ProxyServer", before["ProxyServer"])
