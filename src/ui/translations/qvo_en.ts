<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>ConversionStatus</name>
    <message>
        <source>変換待ち</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>変換成功</source>
        <translation>Converted</translation>
    </message>
    <message>
        <source>変換失敗</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>同名ファイルが存在</source>
        <translation>Target exists</translation>
    </message>
</context>
<context>
    <name>FileDialog</name>
    <message>
        <source>%1形式書庫ファイル</source>
        <translation>%1 archives</translation>
    </message>
    <message>
        <source>対応するすべての形式書庫ファイル</source>
        <translation>All supported archives</translation>
    </message>
    <message>
        <source>すべてのファイル</source>
        <translation>All files</translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>%1 の空き容量が不足しています。変換を行うことができません<byte value="xd"/>
あと %2 KBの空き容量が必要です</source>
        <translation>There is not enough free space on %1 for the conversion.<byte value="xd"/>
%2 KB more free space is needed.</translation>
    </message>
    <message>
        <source>指定した形式には変換できません。変換形式を確認してください</source>
        <translation>Cannot convert to the chosen format. Please check the target format.</translation>
    </message>
    <message>
        <source>指定したフォルダには保存できません。保存フォルダ名を確認してください</source>
        <translation>Cannot save in the given folder. Please check the save folder.</translation>
    </message>
    <message>
        <source>保存先の %1 の空き容量が不足しています。変換を行うことができません<byte value="xd"/>
あと %2 KBの空き容量が必要です</source>
        <translation>There is not enough free space on %1, where the archives are saved.<byte value="xd"/>
%2 KB more free space is needed.</translation>
    </message>
    <message>
        <source>変換対象のファイルを展開できませんでした。書庫が壊れていないか確認してください</source>
        <translation>The source archive could not be extracted. Please check that it is not damaged.</translation>
    </message>
    <message>
        <source>変換後のファイルを作成できませんでした。保存先と空き容量を確認してください</source>
        <translation>The new archive could not be written. Please check the save location and its free space.</translation>
    </message>
    <message>
        <source>変換を行うことができませんでした。作業フォルダと保存先を確認してください</source>
        <translation>The conversion could not be carried out. Please check the working folder and the save location.</translation>
    </message>
    <message>
        <source>変換対象のファイルは存在しません。ファイル名を確認してください</source>
        <translation>The source file does not exist. Please check its name.</translation>
    </message>
    <message>
        <source>変換対象のファイルの形式に対応していません。対応した形式のファイルを指定してください</source>
        <translation>The source file is not of a supported format. Please choose an archive of a supported format.</translation>
    </message>
    <message>
        <source>変換先ファイル名と同名のファイルが存在しています。上書きして変換しますか？</source>
        <translation>A file with the target name already exists. Convert and overwrite it?</translation>
    </message>
    <message>
        <source>変換先ファイル名を指定してください</source>
        <translation>Please enter the target file name.</translation>
    </message>
</context>
<context>
    <name>TargetFormat</name>
    <message>
        <source>%1形式 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>clsFolderBlowserDialog</name>
    <message>
        <source>フォルダの参照</source>
        <translation>Browse for Folder</translation>
    </message>
</context>
<context>
    <name>qvo::ui::FileList</name>
    <message>
        <source>ファイル名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>フォルダ名</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>圧縮形式</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>サイズ</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>変換状況</source>
        <translation>Status</translation>
    </message>
</context>
<context>
    <name>qvo::ui::frmConfig</name>
    <message>
        <source> 設定</source>
        <translation> Settings</translation>
    </message>
    <message>
        <source> 全般設定</source>
        <translation> General</translation>
    </message>
    <message>
        <source> LHA形式の設定</source>
        <translation> LHA format</translation>
    </message>
    <message>
        <source> ZIP形式の設定</source>
        <translation> ZIP format</translation>
    </message>
    <message>
        <source> CAB形式の設定</source>
        <translation> CAB format</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>動作設定 :</source>
        <translation>Start in:</translation>
    </message>
    <message>
        <source>バックグラウンド変換を行う（Multiple File Modeのみ）</source>
        <translation>Convert in the background (Multiple File Mode only)</translation>
    </message>
    <message>
        <source>変換終了後、自動的にダイアログを閉じる</source>
        <translation>Close the progress window when done</translation>
    </message>
    <message>
        <source>変換後、元の書庫を削除する</source>
        <translation>Delete the source archive after converting</translation>
    </message>
    <message>
        <source>変換設定 :</source>
        <translation>Conversion:</translation>
    </message>
    <message>
        <source>変換したファイルの拡張子を大文字にする</source>
        <translation>Upper-case extension for new archives</translation>
    </message>
    <message>
        <source>元の書庫と同じ書庫形式でも変換する</source>
        <translation>Also convert archives already in the format</translation>
    </message>
    <message>
        <source>同名ファイルがある場合は上書きして保存する</source>
        <translation>Overwrite files of the same name</translation>
    </message>
    <message>
        <source>LHA形式の圧縮率設定 :</source>
        <translation>LHA compression:</translation>
    </message>
    <message>
        <source> lha0 ... 圧縮しない</source>
        <translation> lha0 ... no compression</translation>
    </message>
    <message>
        <source> lha5 ... 標準</source>
        <translation> lha5 ... standard</translation>
    </message>
    <message>
        <source>ZIP形式の圧縮率設定 :</source>
        <translation>ZIP compression:</translation>
    </message>
    <message>
        <source> 0 ... 圧縮しない</source>
        <translation> 0 ... no compression</translation>
    </message>
    <message>
        <source> 1 ... 一番速い（圧縮率最小）</source>
        <translation> 1 ... fastest (largest)</translation>
    </message>
    <message>
        <source> 6 ... 標準</source>
        <translation> 6 ... standard</translation>
    </message>
    <message>
        <source> 9 ... 一番遅い（圧縮率最大）</source>
        <translation> 9 ... slowest (smallest)</translation>
    </message>
    <message>
        <source>CAB形式の圧縮率設定 :</source>
        <translation>CAB compression:</translation>
    </message>
    <message>
        <source>LZX形式</source>
        <translation>LZX</translation>
    </message>
    <message>
        <source> 15 ... スピード重視（標準）</source>
        <translation> 15 ... fast (standard)</translation>
    </message>
    <message>
        <source> 21 ... 圧縮率重視</source>
        <translation> 21 ... smallest</translation>
    </message>
    <message>
        <source>MSZIP形式</source>
        <translation>MSZIP</translation>
    </message>
    <message>
        <source>無圧縮</source>
        <translation>None</translation>
    </message>
    <message>
        <source>書庫内のファイル名の文字コード :</source>
        <translation>Encoding of names in archives:</translation>
    </message>
    <message>
        <source>自動判別</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>日本語 (Shift_JIS / CP932)</source>
        <translation>Japanese (Shift_JIS / CP932)</translation>
    </message>
    <message>
        <source>日本語 (EUC-JP)</source>
        <translation>Japanese (EUC-JP)</translation>
    </message>
    <message>
        <source>簡体字中国語 (GBK / GB18030)</source>
        <translation>Simplified Chinese (GBK / GB18030)</translation>
    </message>
    <message>
        <source>繁体字中国語 (Big5)</source>
        <translation>Traditional Chinese (Big5)</translation>
    </message>
    <message>
        <source>韓国語 (CP949)</source>
        <translation>Korean (CP949)</translation>
    </message>
    <message>
        <source>英語 DOS (CP437)</source>
        <translation>English DOS (CP437)</translation>
    </message>
    <message>
        <source>西ヨーロッパ DOS (CP850)</source>
        <translation>Western European DOS (CP850)</translation>
    </message>
    <message>
        <source>西ヨーロッパ (CP1252)</source>
        <translation>Western European (CP1252)</translation>
    </message>
    <message>
        <source>西ヨーロッパ (ISO-8859-1)</source>
        <translation>Western European (ISO-8859-1)</translation>
    </message>
    <message>
        <source>西ヨーロッパ (ISO-8859-15)</source>
        <translation>Western European (ISO-8859-15)</translation>
    </message>
    <message>
        <source>中央ヨーロッパ (CP1250)</source>
        <translation>Central European (CP1250)</translation>
    </message>
    <message>
        <source>キリル文字 (CP1251)</source>
        <translation>Cyrillic (CP1251)</translation>
    </message>
    <message>
        <source>キリル文字 (KOI8-R)</source>
        <translation>Cyrillic (KOI8-R)</translation>
    </message>
    <message>
        <source>キリル文字 DOS (CP866)</source>
        <translation>Cyrillic DOS (CP866)</translation>
    </message>
</context>
<context>
    <name>qvo::ui::frmMain</name>
    <message>
        <source>追加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>フォルダから追加</source>
        <translation>Add folder</translation>
    </message>
    <message>
        <source>リストから削除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>変換</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>合計サイズ: %1 KB</source>
        <translation>Total: %1 KB</translation>
    </message>
    <message>
        <source>変換形式 :</source>
        <translation>Convert to:</translation>
    </message>
    <message>
        <source>設定(&amp;O)</source>
        <translation>&amp;Options...</translation>
    </message>
    <message>
        <source>元の書庫と同じ書庫
形式でも変換する</source>
        <translation>Convert archives
in target format</translation>
    </message>
    <message>
        <source>SingleFileModeへ切り替え</source>
        <translation>To Single File Mode</translation>
    </message>
    <message>
        <source>保存フォルダ名 :</source>
        <translation>Save folder:</translation>
    </message>
    <message>
        <source>書庫ファイルのあるフォルダと同じフォルダに保存する</source>
        <translation>Save beside each source archive</translation>
    </message>
    <message>
        <source>参照(&amp;R)</source>
        <translation>&amp;Browse...</translation>
    </message>
    <message>
        <source>同名ファイルがある場合は上書きして保存する</source>
        <translation>Overwrite files of the same name</translation>
    </message>
    <message>
        <source>変換開始(&amp;C)</source>
        <translation>&amp;Convert</translation>
    </message>
    <message>
        <source>終了(&amp;E)</source>
        <translation>&amp;Exit</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>書庫ファイルをリストに追加する(&amp;O)</source>
        <translation>&amp;Open archive...</translation>
    </message>
    <message>
        <source>選んだフォルダから書庫ファイルをリストに追加する(&amp;F)</source>
        <translation>Add archives from a &amp;folder...</translation>
    </message>
    <message>
        <source>リストを保存する(&amp;S)</source>
        <translation>&amp;Save list</translation>
    </message>
    <message>
        <source>リストを初期化する(&amp;I)</source>
        <translation>Clear l&amp;ist</translation>
    </message>
    <message>
        <source>Qvo を終了する(&amp;E)</source>
        <translation>&amp;Exit Qvo</translation>
    </message>
    <message>
        <source>設定(&amp;S)</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>Qvo の設定(&amp;S)</source>
        <translation>Qvo &amp;settings...</translation>
    </message>
    <message>
        <source>全般(&amp;A)</source>
        <translation>Gener&amp;al...</translation>
    </message>
    <message>
        <source>LHA形式(&amp;L)</source>
        <translation>&amp;LHA format...</translation>
    </message>
    <message>
        <source>ZIP形式(&amp;Z)</source>
        <translation>&amp;ZIP format...</translation>
    </message>
    <message>
        <source>CAB形式(&amp;C)</source>
        <translation>&amp;CAB format...</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;V)</source>
        <translation>About Qvo (&amp;V)</translation>
    </message>
    <message>
        <source>この書庫ファイルをリストから取り除く(&amp;R)</source>
        <translation>&amp;Remove this archive from the list</translation>
    </message>
</context>
<context>
    <name>qvo::ui::frmProgress</name>
    <message>
        <source>%1 % 変換終了  /  %2 分 %3 秒経過</source>
        <translation>%1 % done  /  %2 min %3 s elapsed</translation>
    </message>
    <message>
        <source>%1 % 変換終了  /  %2 秒経過</source>
        <translation>%1 % done  /  %2 s elapsed</translation>
    </message>
    <message>
        <source> 変換状況</source>
        <translation> Progress</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>変換状況 : </source>
        <translation>Progress: </translation>
    </message>
    <message>
        <source>0 %  変換終了 /  0 秒経過</source>
        <translation>0 % done  /  0 s elapsed</translation>
    </message>
    <message>
        <source>変換終了後、自動的にダイアログを閉じる</source>
        <translation>Close this window when done</translation>
    </message>
</context>
<context>
    <name>qvo::ui::frmSingleFileMode</name>
    <message>
        <source>表示(&amp;W)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>設定(&amp;O)</source>
        <translation>&amp;Options...</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;V)</source>
        <translation>About Qvo (&amp;V)</translation>
    </message>
    <message>
        <source>終了(&amp;E)</source>
        <translation>&amp;Exit</translation>
    </message>
    <message>
        <source>変換元ファイル名</source>
        <translation>Source file</translation>
    </message>
    <message>
        <source>参照</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>変換先ファイル名</source>
        <translation>Target file</translation>
    </message>
    <message>
        <source>変換元ファイルと同じファイル名で保存する</source>
        <translation>Save under the name of the source</translation>
    </message>
    <message>
        <source>変換形式</source>
        <translation>Convert to</translation>
    </message>
    <message>
        <source>変換(&amp;C)</source>
        <translation>&amp;Convert</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>MultipleFileModeへ切り替え</source>
        <translation>To Multiple File Mode</translation>
    </message>
</context>
<context>
    <name>qvo::ui::frmVersion</name>
    <message>
        <source>書庫ファイル変換ユーティリティ</source>
        <translation>Archive conversion utility</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About Qvo</translation>
    </message>
    <message>
        <source>ご利用は各自の責任でお願いいたします</source>
        <translation>Use at your own risk.</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>いつもご利用ありがとうございます</source>
        <translation>Thank you for using Qvo.</translation>
    </message>
    <message>
        <source>古い書庫も、新しい形で。</source>
        <translation>Old archives, new shapes.</translation>
    </message>
</context>
</TS>
