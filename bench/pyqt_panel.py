#!/usr/bin/env python3
"""A peer of the idle and memory figures: the kind of quote panel Python tickers are built on.

A frameless 350x80 window above the others, one label, and a fetch of the same quote list
from the local server every 3 s on a timer. It is a baseline to compare against, not
something to make faster.

    pyqt_panel.py [HOST:PORT]      default 127.0.0.1:8750
"""
import sys
import urllib.request

from PyQt6.QtCore import Qt, QTimer
from PyQt6.QtWidgets import QApplication, QLabel

HOST = sys.argv[1] if len(sys.argv) > 1 else "127.0.0.1:8750"
ADDRESS = f"http://{HOST}/Soft/Price.asp?Type=0&r=1"
# Only loopback: a proxy from the environment must not take the request elsewhere.
OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))


def caption():
    try:
        with OPENER.open(ADDRESS, timeout=5) as reply:
            for line in reply.read().decode("latin-1").splitlines():
                fields = line.split(",")
                if fields[0] == "icbcrmbgold" and len(fields) >= 3:
                    return f"买入:{fields[1]} 卖出:{fields[2]}"
    except OSError:
        pass
    return "正在加载报价..."


def main():
    application = QApplication(sys.argv[:1])
    label = QLabel(caption())
    label.setWindowFlags(Qt.WindowType.Tool | Qt.WindowType.FramelessWindowHint
                         | Qt.WindowType.WindowStaysOnTopHint)
    label.setFixedSize(350, 80)
    label.show()
    timer = QTimer()
    timer.timeout.connect(lambda: label.setText(caption()))
    timer.start(3000)
    return application.exec()


if __name__ == "__main__":
    sys.exit(main())
