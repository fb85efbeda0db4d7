<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Ostrel</name>
    <message>
        <source>CSVファイル (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新規作成(&amp;N)</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>開く(&amp;O)...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>名前をつけて保存(&amp;A)...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>ロガー(&amp;L)</source>
        <translation>&amp;Logger</translation>
    </message>
    <message>
        <source>接続/開始(&amp;B)</source>
        <translation>Connect / &amp;Begin</translation>
    </message>
    <message>
        <source>切断/停止(&amp;S)</source>
        <translation>Disconnect / &amp;Stop</translation>
    </message>
    <message>
        <source>グラフ再描画(&amp;G)</source>
        <translation>Redraw &amp;Graph</translation>
    </message>
    <message>
        <source>設定(&amp;S)</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>ログを隠す(&amp;H)</source>
        <translation>&amp;Hide Log</translation>
    </message>
    <message>
        <source>ログを表示(&amp;S)...</source>
        <translation>&amp;Show Log...</translation>
    </message>
    <message>
        <source>各種設定(&amp;M)...</source>
        <translation>&amp;More Settings...</translation>
    </message>
    <message>
        <source>確定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>グラフ係数</source>
        <translation>Coefficient</translation>
    </message>
    <message>
        <source>バックグラウンド</source>
        <translation>Background</translation>
    </message>
    <message>
        <source>本体係数</source>
        <translation>Counter coef.</translation>
    </message>
    <message>
        <source>各種設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>接続されていません。</source>
        <translation>Not connected.</translation>
    </message>
    <message>
        <source>接続確認</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>CPM</source>
        <translation>CPM</translation>
    </message>
    <message>
        <source>uSv/ h</source>
        <translation>µSv/h</translation>
    </message>
    <message>
        <source>ファイル %s は開けません。 %s </source>
        <translation>Cannot open file %s. %s</translation>
    </message>
    <message>
        <source>ファイル &quot;%s&quot; を作成できません。%s</source>
        <translation>Cannot create file &quot;%s&quot;. %s</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>Not a regular file</translation>
    </message>
    <message>
        <source>大きすぎてメモリに読み込めません</source>
        <translation>Too large to read into memory</translation>
    </message>
    <message>
        <source>ジャーナル %s に書き込めません。 %s</source>
        <translation>Cannot write to the journal %s. %s</translation>
    </message>
    <message>
        <source>DLLが読めません</source>
        <translation>Cannot load the device library (DLL)</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>&apos;%s&apos; は有効な時刻ではありません</source>
        <translation>&apos;%s&apos; is not a valid time</translation>
    </message>
    <message>
        <source>日付に変換できない値が渡されました</source>
        <translation>A value was passed that cannot be turned into a date</translation>
    </message>
    <message>
        <source>時刻に変換できない値が渡されました</source>
        <translation>A value was passed that cannot be turned into a time of day</translation>
    </message>
    <message>
        <source>&apos;%s&apos; は有効な浮動小数点数値ではありません</source>
        <translation>&apos;%s&apos; is not a valid floating-point value</translation>
    </message>
    <message>
        <source>&apos;%s&apos; は有効な整数値ではありません</source>
        <translation>&apos;%s&apos; is not a valid integer value</translation>
    </message>
    <message>
        <source>メモリが足りません</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source> に書き込めません</source>
        <translation> cannot be written</translation>
    </message>
    <message>
        <source>デバイスライブラリが不正な台数を返しました: %s</source>
        <translation>The device library reported an invalid number of counters: %s</translation>
    </message>
    <message>
        <source>線量率アラーム</source>
        <translation>Dose-rate alarm</translation>
    </message>
    <message>
        <source>%s (警報値 %s 以上)</source>
        <translation>%s (alarm at %s and above)</translation>
    </message>
    <message>
        <source>線量率アラーム解除</source>
        <translation>Dose-rate alarm cleared</translation>
    </message>
    <message>
        <source>%s (解除値 %s 未満)</source>
        <translation>%s (cleared below %s)</translation>
    </message>
    <message>
        <source>分の数</source>
        <translation>Minutes</translation>
    </message>
    <message>
        <source>合計カウント</source>
        <translation>Total counts</translation>
    </message>
    <message>
        <source>平均 (CPM)</source>
        <translation>Mean (CPM)</translation>
    </message>
    <message>
        <source>平均の95%区間 (CPM)</source>
        <translation>95 % interval of the mean (CPM)</translation>
    </message>
    <message>
        <source>中央値</source>
        <translation>Median</translation>
    </message>
    <message>
        <source>最小</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>最大</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>標準偏差</source>
        <translation>Standard deviation</translation>
    </message>
    <message>
        <source>√平均</source>
        <translation>√mean</translation>
    </message>
    <message>
        <source>標準偏差 / √平均</source>
        <translation>Standard deviation / √mean</translation>
    </message>
    <message>
        <source>ポアソン分布へのχ²検定</source>
        <translation>χ² test against a Poisson distribution</translation>
    </message>
    <message>
        <source>できません (期待度数5以上の階級が3つ未満)</source>
        <translation>not possible (fewer than 3 bins that expect 5 or more)</translation>
    </message>
    <message>
        <source>ポアソン分布へのχ²</source>
        <translation>χ² against a Poisson distribution</translation>
    </message>
    <message>
        <source>自由度</source>
        <translation>Degrees of freedom</translation>
    </message>
    <message>
        <source>p値</source>
        <translation>p-value</translation>
    </message>
    <message>
        <source>標準偏差は√平均に近く、ばらつきは偶然で生じる程度です。</source>
        <translation>The standard deviation is close to √mean: the counts spread as much as chance alone makes them spread.</translation>
    </message>
    <message>
        <source>標準偏差が√平均より明らかに大きく、線源が変化したか、計数器が不調の可能性があります。</source>
        <translation>The standard deviation is clearly above √mean: the source may have changed, or the counter may be faulty.</translation>
    </message>
    <message>
        <source>標準偏差が√平均より明らかに小さく、偶然より揃っています。計数器が不調の可能性があります。</source>
        <translation>The standard deviation is clearly below √mean: the counts are more even than chance makes them, and the counter may be faulty.</translation>
    </message>
    <message>
        <source>ばらつきを判断するには、カウントのある2分以上が必要です。</source>
        <translation>Judging the spread needs two or more minutes with counts.</translation>
    </message>
    <message>
        <source>観測</source>
        <translation>Observed</translation>
    </message>
    <message>
        <source>ポアソン分布の期待値</source>
        <translation>Poisson expectation</translation>
    </message>
    <message>
        <source>カウント/分</source>
        <translation>Counts per minute</translation>
    </message>
    <message>
        <source>区間に分がありません。</source>
        <translation>The span holds no minutes.</translation>
    </message>
    <message>
        <source>すべてコピー</source>
        <translation>Copy all</translation>
    </message>
    <message>
        <source>区間の統計</source>
        <translation>Statistics of the span</translation>
    </message>
    <message>
        <source>計数: %1 CPM</source>
        <translation>Count: %1 CPM</translation>
    </message>
    <message>
        <source>計数: %1 CPM (95%区間 %2～%3)</source>
        <translation>Count: %1 CPM (95% interval %2 to %3)</translation>
    </message>
    <message>
        <source>線量率: %1 uSv/ h</source>
        <translation>Dose rate: %1 µSv/h</translation>
    </message>
    <message>
        <source>PNG画像 (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>PNG画像、2倍の大きさ (*.png)</source>
        <translation>PNG images at twice the size (*.png)</translation>
    </message>
    <message>
        <source>PDF文書 (*.pdf)</source>
        <translation>PDF documents (*.pdf)</translation>
    </message>
    <message>
        <source>SVG画像 (*.svg)</source>
        <translation>SVG images (*.svg)</translation>
    </message>
    <message>
        <source>解析(&amp;A)</source>
        <translation>&amp;Analysis</translation>
    </message>
    <message>
        <source>区間の統計(&amp;T)...</source>
        <translation>S&amp;tatistics of the Span...</translation>
    </message>
    <message>
        <source>グラフを画像で保存(&amp;I)...</source>
        <translation>Save Chart as &amp;Image...</translation>
    </message>
    <message>
        <source>CSVで書き出す(&amp;E)...</source>
        <translation>&amp;Export CSV...</translation>
    </message>
    <message>
        <source>全記録をCSVで書き出す(&amp;W)...</source>
        <translation>Export the &amp;Whole Log as CSV...</translation>
    </message>
    <message>
        <source>線量率: %1 uSv/ h (95%区間 %2～%3)</source>
        <translation>Dose rate: %1 uSv/ h (95% interval %2 to %3)</translation>
    </message>
</context>
</TS>
