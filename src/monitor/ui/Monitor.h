#pragma once
// The "測定値モニター" window: live DA value in hex and percent of full scale.

#include "comm/RsReadWrite.h"
#include "editor/SettingsCommands.h"

#include <QWidget>
#include <functional>

namespace qel {

class Monitor : public QWidget {
    Q_OBJECT
public:
    // showTypeChange shows the type-change dialog modally (a pending "ﾀｲﾌﾟ変更").
    Monitor(Context &ctx, RsReadWrite &engine, SettingsCommands &commands,
            std::function<void()> showTypeChange, QWidget *parent = nullptr);
    // Form_Load and show; brings the window to the front when already open.
    void open();
    bool isOpen() const;
};

} // namespace qel
