<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>OpningTitle</name>
    <message>
        <source>ＱＥＬ－５６００</source>
        <translation>QEL-5600</translation>
    </message>
    <message>
        <source>周波数／周期変換器&#x3000;設定プログラム</source>
        <translation>Frequency/Period Converter Settings Program</translation>
    </message>
</context>
<context>
    <name>QtMessageBoxes</name>
    <message>
        <source>中止(&amp;A)</source>
        <translation>&amp;Abort</translation>
    </message>
    <message>
        <source>再試行(&amp;R)</source>
        <translation>&amp;Retry</translation>
    </message>
    <message>
        <source>無視(&amp;I)</source>
        <translation>&amp;Ignore</translation>
    </message>
</context>
<context>
    <name>QtPrinter</name>
    <message>
        <source>設定データ一覧表</source>
        <translation>Settings List</translation>
    </message>
</context>
<context>
    <name>qel::DataFile</name>
    <message>
        <source>設定データファイルが見つかりません。
%1</source>
        <translation>The settings data file was not found.
%1</translation>
    </message>
    <message>
        <source>フォルダは設定データファイルとして読み込めません。
%1</source>
        <translation>A folder cannot be loaded as a settings data file.
%1</translation>
    </message>
    <message>
        <source>通常のファイルではないため読み込めません。
%1</source>
        <translation>Not a regular file; it cannot be loaded.
%1</translation>
    </message>
    <message>
        <source>設定データファイルではありません（%1 バイト、%2 バイト必要）。
%3</source>
        <translation>Not a settings data file (%1 bytes, %2 bytes needed).
%3</translation>
    </message>
    <message>
        <source>設定データファイルを読み込めません。
%1
%2</source>
        <translation>The settings data file cannot be read.
%1
%2</translation>
    </message>
    <message>
        <source>設定データファイルを読み込めません（%1 バイトしか読めません）。
%2</source>
        <translation>The settings data file cannot be read (only %1 bytes could be read).
%2</translation>
    </message>
    <message>
        <source>設定データファイルを保存できません。
%1
%2</source>
        <translation>The settings data file cannot be saved.
%1
%2</translation>
    </message>
    <message>
        <source>同じ名前のフォルダがあります。</source>
        <translation>A folder of that name exists.</translation>
    </message>
    <message>
        <source>通常のファイルではありません。</source>
        <translation>Not a regular file.</translation>
    </message>
</context>
<context>
    <name>qel::FileCommands</name>
    <message>
        <source> ＱＥＬ－５６００データファイルの選択(読込)</source>
        <translation> Select a QEL-5600 Data File (Load)</translation>
    </message>
    <message>
        <source> 保存ファイル名</source>
        <translation> Save As</translation>
    </message>
    <message>
        <source>印刷処理を中断します。</source>
        <translation>Printing is stopped.</translation>
    </message>
    <message>
        <source>  ＱＥＬ－５６００&#x3000;設定データ一覧表  </source>
        <translation>  QEL-5600 Settings List  </translation>
    </message>
    <message>
        <source>  ＱＥＬ－５２００&#x3000;設定データ一覧表  </source>
        <translation>  QEL-5200 Settings List  </translation>
    </message>
    <message>
        <source>Serial № </source>
        <translation>Serial No. </translation>
    </message>
    <message>
        <source>&#x3000;動作タイプ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Operation type      </translation>
    </message>
    <message>
        <source>ＱＥＬ－５２１</source>
        <translation>QEL-521</translation>
    </message>
    <message>
        <source>ＱＥＬ－５６００</source>
        <translation>QEL-5600</translation>
    </message>
    <message>
        <source>ＱＥＬ－５２７</source>
        <translation>QEL-527</translation>
    </message>
    <message>
        <source>────&#x3000;基本機能&#x3000;</source>
        <translation>────  Basic functions  </translation>
    </message>
    <message>
        <source>&#x3000;測定モード&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Measuring mode      </translation>
    </message>
    <message>
        <source>周波数計</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>周期計</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>&#x3000;フルスケール&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Full scale          </translation>
    </message>
    <message>
        <source>&#x3000;バイアス&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Bias                </translation>
    </message>
    <message>
        <source>&#x3000;％</source>
        <translation> %</translation>
    </message>
    <message>
        <source>────&#x3000;付加機能&#x3000;</source>
        <translation>────  Additional functions  </translation>
    </message>
    <message>
        <source>&#x3000;出力更新時間&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Output update time  </translation>
    </message>
    <message>
        <source>× 10 ms</source>
        <translation>× 10 ms</translation>
    </message>
    <message>
        <source>&#x3000;分周比&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Division ratio      </translation>
    </message>
    <message>
        <source>&#x3000;移動平均&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Moving average      </translation>
    </message>
    <message>
        <source>&#x3000;チャタサプレス&#x3000;&#x3000;&#x3000;</source>
        <translation>  Chatter suppression </translation>
    </message>
    <message>
        <source>&#x3000;ステップレス&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Stepless            </translation>
    </message>
    <message>
        <source>&#x3000;ダイナミック予測&#x3000;&#x3000;</source>
        <translation>  Dynamic prediction  </translation>
    </message>
    <message>
        <source>ＤＦ０&#x3000;&#x3000;周期保持</source>
        <translation>DF0  Hold period</translation>
    </message>
    <message>
        <source>ＤＦ１&#x3000;&#x3000;連続予測</source>
        <translation>DF1  Continuous</translation>
    </message>
    <message>
        <source>ＤＦ２&#x3000;&#x3000;Low  ×8</source>
        <translation>DF2  Low  ×8</translation>
    </message>
    <message>
        <source>ＤＦ３&#x3000;&#x3000;MLow ×6</source>
        <translation>DF3  MLow ×6</translation>
    </message>
    <message>
        <source>ＤＦ４&#x3000;&#x3000;Mid  ×4</source>
        <translation>DF4  Mid  ×4</translation>
    </message>
    <message>
        <source>ＤＦ５&#x3000;&#x3000;MHigh ×3</source>
        <translation>DF5  MHigh ×3</translation>
    </message>
    <message>
        <source>ＤＦ６&#x3000;&#x3000;High  ×2</source>
        <translation>DF6  High  ×2</translation>
    </message>
    <message>
        <source>ＤＦ７&#x3000;&#x3000;ExHigh ×1.5</source>
        <translation>DF7  ExHigh ×1.5</translation>
    </message>
    <message>
        <source>────&#x3000;イベントイン機能&#x3000;</source>
        <translation>────  Event-in function  </translation>
    </message>
    <message>
        <source>&#x3000;イベントイン&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Event in            </translation>
    </message>
    <message>
        <source>&#x3000;サブスケール&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Sub scale           </translation>
    </message>
    <message>
        <source>&#x3000;上限スケール&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Upper scale         </translation>
    </message>
    <message>
        <source>&#x3000;下限スケール&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Lower scale         </translation>
    </message>
    <message>
        <source>────&#x3000;イベントアウト機能&#x3000;</source>
        <translation>────  Event-out function  </translation>
    </message>
    <message>
        <source>&#x3000;イベントアウト&#x3000;&#x3000;&#x3000;</source>
        <translation>  Event out           </translation>
    </message>
    <message>
        <source>&#x3000;設定値&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;</source>
        <translation>  Set value           </translation>
    </message>
    <message>
        <source>&#x3000;E</source>
        <translation> E</translation>
    </message>
</context>
<context>
    <name>qel::LineText</name>
    <message>
        <source>設定データの F%1 に送信できない文字（0x%2）があります。
書き込みを中止しました。</source>
        <translation>Field F%1 of the settings holds a character that cannot be sent (0x%2).
Writing was stopped.</translation>
    </message>
</context>
<context>
    <name>qel::Monitor</name>
    <message>
        <source>測定値モニター</source>
        <translation>Measurement Monitor</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>記録ファイル</source>
        <translation>Recording File</translation>
    </message>
    <message>
        <source>CSVﾌｧｲﾙ(*.csv)|*.csv|すべてのﾌｧｲﾙ(*.*)|*.*</source>
        <translation>CSV Files(*.csv)|*.csv|All Files(*.*)|*.*</translation>
    </message>
    <message>
        <source>記録ファイルを作成できません。
</source>
        <translation>Cannot create the recording file.
</translation>
    </message>
    <message>
        <source>記録ファイルに書き込めません。記録を止めました。
</source>
        <translation>Cannot write to the recording file. Recording stopped.
</translation>
    </message>
    <message>
        <source>記録停止</source>
        <translation>Stop Recording</translation>
    </message>
    <message>
        <source>記録開始...</source>
        <translation>Record...</translation>
    </message>
    <message>
        <source>● 記録中: </source>
        <translation>● Recording: </translation>
    </message>
    <message>
        <source>1分間の推移</source>
        <translation>The last minute</translation>
    </message>
</context>
<context>
    <name>qel::MonitorEngine</name>
    <message>
        <source>データ読み出し中</source>
        <translation>Reading data</translation>
    </message>
    <message>
        <source>ＤＡ値(HEX)</source>
        <translation>DA value (hex)</translation>
    </message>
    <message>
        <source>機器ﾀｲﾌﾟが認識できません。</source>
        <translation>The converter type is not known.</translation>
    </message>
    <message>
        <source>周期計</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>周波数計</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>周期/ﾌﾙｽｹｰﾙ(％)</source>
        <translation>Period/full scale (%)</translation>
    </message>
    <message>
        <source>周波数/ﾌﾙｽｹｰﾙ(％)</source>
        <translation>Frequency/full scale (%)</translation>
    </message>
</context>
<context>
    <name>qel::PartialWrite</name>
    <message>
        <source>応答がありません</source>
        <translation>no reply in time</translation>
    </message>
    <message>
        <source>回線が切れました</source>
        <translation>the line went away</translation>
    </message>
    <message>
        <source>機器が受け付けませんでした</source>
        <translation>the converter refused it</translation>
    </message>
    <message>
        <source>予期せぬ応答がありました</source>
        <translation>wrong replies</translation>
    </message>
    <message>
        <source>書き込み（メモリーイメージ、全設定を一度に）で止まりました（%1）。</source>
        <translation>The write stopped at the memory image (every setting in one command): %1.</translation>
    </message>
    <message>
        <source>機器の設定は新しい設定か元の設定のどちらかです（応答がありませんでした）。</source>
        <translation>The converter holds either all the new settings or all its previous ones (its reply never came).</translation>
    </message>
    <message>
        <source>書き込みは最初の設定%1で止まりました（%2）。</source>
        <translation>The write stopped at its first setting, %1: %2.</translation>
    </message>
    <message>
        <source>書き込みは %2 項目中 %1 項目目%3の後、%4で止まりました（%5）。</source>
        <translation>The write stopped after setting %1 of %2, %3, at %4: %5.</translation>
    </message>
    <message>
        <source>機器には新しい設定がすべて書き込まれていますが、更新日は元のままの可能性があります。</source>
        <translation>The converter holds every new setting; its update date may be the old one.</translation>
    </message>
    <message>
        <source>機器には新しい設定の一部（%2 項目中、最初の %1 項目。%3も書き込まれた可能性があります）だけが書き込まれています。</source>
        <translation>The converter now holds part of the new settings: the first %1 of %2, perhaps %3 too.</translation>
    </message>
    <message>
        <source>機器には新しい設定の一部（%2 項目中、最初の %1 項目）だけが書き込まれています。</source>
        <translation>The converter now holds part of the new settings: the first %1 of %2.</translation>
    </message>
    <message>
        <source>元の設定のコピーはデバイス履歴にありません。</source>
        <translation>The device history holds no copy of its previous settings.</translation>
    </message>
    <message>
        <source>元の設定は %1 にあります。戻すには: %2</source>
        <translation>Its previous settings are in %1; to put them back: %2</translation>
    </message>
    <message>
        <source>「%1」（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>qel::PortProblem</name>
    <message>
        <source>デバイスがありません（USBアダプタが接続されているか確認してください）</source>
        <translation>no such device (is the adapter plugged in?)</translation>
    </message>
    <message>
        <source>デバイスがありません</source>
        <translation>no such device</translation>
    </message>
    <message>
        <source>アクセス権がありません（グループ %1 に追加してください: sudo usermod -aG %1 $USER の後、ログインし直す）</source>
        <translation>permission denied: the device belongs to group %1; add yourself with &apos;sudo usermod -aG %1 $USER&apos;, then log in again</translation>
    </message>
    <message>
        <source>他のプログラムが使用中です（プロセス %1）</source>
        <translation>in use by another program (process %1)</translation>
    </message>
    <message>
        <source>他のプログラムが使用中です</source>
        <translation>in use by another program</translation>
    </message>
    <message>
        <source>シリアルデバイスではありません</source>
        <translation>not a serial device</translation>
    </message>
    <message>
        <source>回線が切れました（%1）</source>
        <translation>the line went away (%1)</translation>
    </message>
    <message>
        <source>アクセス権がありません（%1 だけが開けます。モード %2。udev の規則でグループ dialout に与えられます（例: %3）。その後 sudo usermod -aG dialout $USER を実行し、ログインし直す）</source>
        <translation>permission denied: only %1 may open it (mode %2); a udev rule can give it to group dialout (example: %3), then add yourself with &apos;sudo usermod -aG dialout $USER&apos; and log in again</translation>
    </message>
    <message>
        <source>他のプログラムが使用中です（ロックファイル %1 にプロセスがなく、使用者は不明）</source>
        <translation>in use by another program (its lock file %1 names no process: holder unknown)</translation>
    </message>
    <message>
        <source>%1 と root</source>
        <translation>%1 and root</translation>
    </message>
</context>
<context>
    <name>qel::PortSelect</name>
    <message>
        <source>通信ポート設定</source>
        <translation>Communication Port Setting</translation>
    </message>
    <message>
        <source>通信ポート</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>ＣＯＭ１</source>
        <translation>COM1</translation>
    </message>
    <message>
        <source>ＣＯＭ２</source>
        <translation>COM2</translation>
    </message>
    <message>
        <source>ＣＯＭ３</source>
        <translation>COM3</translation>
    </message>
    <message>
        <source>ＣＯＭ４</source>
        <translation>COM4</translation>
    </message>
    <message>
        <source>了解&#x3000;[&amp;Y]</source>
        <translation>OK [&amp;Y]</translation>
    </message>
    <message>
        <source>見つかったポート</source>
        <translation>Ports Found</translation>
    </message>
    <message>
        <source>デバイス</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>説明</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>メーカー</source>
        <translation>Manufacturer</translation>
    </message>
    <message>
        <source>シリアル番号</source>
        <translation>Serial Number</translation>
    </message>
    <message>
        <source>固定名 (by-id)</source>
        <translation>Fixed Name (by-id)</translation>
    </message>
    <message>
        <source>デバイスのパス:</source>
        <translation>Device path:</translation>
    </message>
    <message>
        <source>選択中のＣＯＭに割り当て</source>
        <translation>Assign to the Selected COM</translation>
    </message>
    <message>
        <source>→ %1</source>
        <translation>→ %1</translation>
    </message>
    <message>
        <source>→ %1 （未接続）</source>
        <translation>→ %1 (not connected)</translation>
    </message>
    <message>
        <source>（未接続）</source>
        <translation>(not connected)</translation>
    </message>
    <message>
        <source>この実行では --port の %1 を使っています。選択中のＣＯＭに割り当てると次回からも使えます。</source>
        <translation>This run uses %1 from --port. Assign it to the selected COM to keep it for the next runs.</translation>
    </message>
    <message>
        <source>この実行でも --port ではなく選択中のＣＯＭを使う(&amp;U)</source>
        <translation>&amp;Use the selected COM in this run too, instead of --port</translation>
    </message>
</context>
<context>
    <name>qel::PromSet</name>
    <message>
        <source>デバイス履歴に保存中</source>
        <translation>Keeping a copy in the device history</translation>
    </message>
    <message>
        <source>ＱＥＬ－５６００&#x3000;</source>
        <translation>QEL-5600 </translation>
    </message>
    <message>
        <source>ＱＥＬ－５２００&#x3000;</source>
        <translation>QEL-5200 </translation>
    </message>
    <message>
        <source>ＱＥＬ－５６００&#x3000;設定変更</source>
        <translation>QEL-5600 Settings</translation>
    </message>
    <message>
        <source>Serial№</source>
        <translation>Serial No.</translation>
    </message>
    <message>
        <source>基本機能</source>
        <translation>Basic</translation>
    </message>
    <message>
        <source>付加機能</source>
        <translation>Additional</translation>
    </message>
    <message>
        <source>イベントイン</source>
        <translation>Event In</translation>
    </message>
    <message>
        <source>イベントアウト</source>
        <translation>Event Out</translation>
    </message>
    <message>
        <source>読み出し</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>書き込み</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>タイプ変更</source>
        <translation>Change Type</translation>
    </message>
    <message>
        <source>測定値ﾓﾆﾀ</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>リセット</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>終了 [&amp;X]</source>
        <translation>Exit [&amp;X]</translation>
    </message>
    <message>
        <source>ファイル [&amp;F]</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>設定データのファイル読込み</source>
        <translation>Load Settings from File...</translation>
    </message>
    <message>
        <source>設定データのファイル保存</source>
        <translation>Save Settings to File...</translation>
    </message>
    <message>
        <source>設定データの印刷(&amp;P)</source>
        <translation>&amp;Print Settings...</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>設定 [&amp;S]</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>通信ポート</source>
        <translation>Communication Port</translation>
    </message>
    <message>
        <source>ヘルプ [&amp;H]</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>このプログラムについて</source>
        <translation>About This Program</translation>
    </message>
    <message>
        <source>キーワードで検索 [&amp;S]</source>
        <translation>&amp;Search by Keyword</translation>
    </message>
    <message>
        <source>バージョン情報 [&amp;A]</source>
        <translation>&amp;Version Information</translation>
    </message>
    <message>
        <source>測定モード</source>
        <translation>Measuring Mode</translation>
    </message>
    <message>
        <source>周波数計測</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>周期計測</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>フルスケール</source>
        <translation>Full Scale</translation>
    </message>
    <message>
        <source>バイアス</source>
        <translation>Bias</translation>
    </message>
    <message>
        <source>％</source>
        <translation>%</translation>
    </message>
    <message>
        <source>出力更新時間</source>
        <translation>Output Update Time</translation>
    </message>
    <message>
        <source>ｍｓ</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>分周比</source>
        <translation>Division Ratio</translation>
    </message>
    <message>
        <source>移動平均</source>
        <translation>Moving Average</translation>
    </message>
    <message>
        <source>ダイナミック予測</source>
        <translation>Dynamic Prediction</translation>
    </message>
    <message>
        <source>チャタサプレス</source>
        <translation>Chatter Suppression</translation>
    </message>
    <message>
        <source>ステップレス</source>
        <translation>Stepless</translation>
    </message>
    <message>
        <source>機能選択</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>上限スケール</source>
        <translation>Upper Scale</translation>
    </message>
    <message>
        <source>下限スケール</source>
        <translation>Lower Scale</translation>
    </message>
    <message>
        <source>設定値</source>
        <translation>Set Value</translation>
    </message>
    <message>
        <source>%1 指数の符号</source>
        <translation>%1 exponent sign</translation>
    </message>
    <message>
        <source>%1 指数</source>
        <translation>%1 exponent</translation>
    </message>
    <message>
        <source>%1 単位</source>
        <translation>%1 unit</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｸﾞﾗﾑﾓｰﾄﾞではありません。</source>
        <translation>The converter is not in program mode.</translation>
    </message>
    <message>
        <source>（５２１タイプ）&#x3000;設定変更</source>
        <translation>(Type 521) Settings</translation>
    </message>
    <message>
        <source>×１０ｍｓ</source>
        <translation>×10 ms</translation>
    </message>
    <message>
        <source>（５６００タイプ）&#x3000;設定変更</source>
        <translation>(Type 5600) Settings</translation>
    </message>
    <message>
        <source>（５２７タイプ）&#x3000;設定変更</source>
        <translation>(Type 527) Settings</translation>
    </message>
    <message>
        <source>サブスケール</source>
        <translation>Sub Scale</translation>
    </message>
</context>
<context>
    <name>qel::QtHelpViewer</name>
    <message>
        <source>ヘルプ</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>キーワード:</source>
        <translation>Keyword:</translation>
    </message>
    <message>
        <source>目次</source>
        <translation>Contents</translation>
    </message>
    <message>
        <source>戻る</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>ヘルプファイル %1 を開けません。</source>
        <translation>Cannot open the help file %1.</translation>
    </message>
</context>
<context>
    <name>qel::RsReadWrite</name>
    <message>
        <source>機器のメモリーイメージが読み込まれていません。
一度パラメータを読み込んで下さい</source>
        <translation>The converter&apos;s memory image has not been read.
Read the parameters first.</translation>
    </message>
    <message>
        <source>ＱＥＬ－５６００&#x3000;通信エラー</source>
        <translation>QEL-5600 Communication Error</translation>
    </message>
    <message>
        <source>ＱＥＬ－５６００&#x3000;設定エラー</source>
        <translation>QEL-5600 Setting Error</translation>
    </message>
    <message>
        <source>QEL-5600と通信ができません。
電源、通信線を確認してください。</source>
        <translation>No communication with the QEL-5600.
Check the power and the cable.</translation>
    </message>
    <message>
        <source>設定範囲外です。
設定値を確認してください。</source>
        <translation>Out of the setting range.
Check the set values.</translation>
    </message>
    <message>
        <source>予期せぬエラーが発生しました。</source>
        <translation>An unexpected error occurred.</translation>
    </message>
</context>
<context>
    <name>qel::SettingTexts</name>
    <message>
        <source>周期保持</source>
        <translation>Hold Period</translation>
    </message>
    <message>
        <source>連続予測</source>
        <translation>Continuous</translation>
    </message>
    <message>
        <source>デュアルレンジ</source>
        <translation>Dual Range</translation>
    </message>
    <message>
        <source>スプレッド</source>
        <translation>Spread</translation>
    </message>
    <message>
        <source>対数出力</source>
        <translation>Logarithmic Output</translation>
    </message>
    <message>
        <source>データロック</source>
        <translation>Data Lock</translation>
    </message>
    <message>
        <source>ピークホールド</source>
        <translation>Peak Hold</translation>
    </message>
    <message>
        <source>バレーホールド</source>
        <translation>Valley Hold</translation>
    </message>
    <message>
        <source>下限検出（停止検出）</source>
        <translation>Low Limit (Stop Detection)</translation>
    </message>
    <message>
        <source>上限検出（コンパレータ）</source>
        <translation>High Limit (Comparator)</translation>
    </message>
</context>
<context>
    <name>qel::SettingsCommands</name>
    <message>
        <source>QEL-52XにはQEL-5600のパラメータは書き込めません</source>
        <translation>QEL-5600 parameters cannot be written to a QEL-52X</translation>
    </message>
    <message>
        <source>QEL-5600にはQEL-52Xのパラメータは書き込めません</source>
        <translation>QEL-52X parameters cannot be written to a QEL-5600</translation>
    </message>
    <message>
        <source>
一度パラメータを読み込んで下さい</source>
        <translation>
Read the parameters first.</translation>
    </message>
    <message>
        <source>書き込み中</source>
        <translation>Writing</translation>
    </message>
</context>
<context>
    <name>qel::TrendStrip</name>
    <message>
        <source>最新 %1 %   1分間の最小 %2 %   最大 %3 %</source>
        <translation>Last %1 %   1-minute min %2 %   max %3 %</translation>
    </message>
</context>
<context>
    <name>qel::TypeChange</name>
    <message>
        <source>QEL-5600と通信ができません
電源、通信線を確認してください。</source>
        <translation>No communication with the QEL-5600
Check the power and the cable.</translation>
    </message>
    <message>
        <source>ＱＥＬ－５６００&#x3000;通信エラー</source>
        <translation>QEL-5600 Communication Error</translation>
    </message>
    <message>
        <source>QEL-5200はQEL-5600モードにできません</source>
        <translation>A QEL-5200 cannot be switched to the QEL-5600 mode</translation>
    </message>
</context>
<context>
    <name>qel::TypeChangeDialog</name>
    <message>
        <source>&#x3000;タイプ変更</source>
        <translation>Change Type</translation>
    </message>
    <message>
        <source>動作タイプの選択</source>
        <translation>Operation Type</translation>
    </message>
    <message>
        <source>５２１</source>
        <translation>521</translation>
    </message>
    <message>
        <source>５２７</source>
        <translation>527</translation>
    </message>
    <message>
        <source>５６００</source>
        <translation>5600</translation>
    </message>
    <message>
        <source>実行</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>qel::VersionNo</name>
    <message>
        <source>バージョン情報</source>
        <translation>Version Information</translation>
    </message>
    <message>
        <source>ＱＥＬ－５６００設定プログラム</source>
        <translation>QEL-5600 Settings Program</translation>
    </message>
    <message>
        <source>for Windows(32bit版)</source>
        <translation>for Windows (32-bit)</translation>
    </message>
</context>
</TS>
