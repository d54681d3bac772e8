// Every console text of the program (the dialogue's, the settings report's,
// the notices'), held once as UTF-8; the page's settings panel shows some of
// them too.  The terminal layer converts them to the terminal's encoding.  "\n" and the runs of blanks and
// ideographic spaces belong to the texts.
#pragma once

namespace hybridsim::msg {

// --- model ---
inline constexpr const char* noSolution = "\n!!! 逆運動学の解なし．始めからやり直し．";
inline constexpr const char* noSolutionDetail =
    "\n    アーム長1,2=(%6.3f %6.3f) 位置(x,y)=(%6.3f %6.3f)";
inline constexpr const char* unreachableCount = "\n    逆運動学の解なしの点は合計 %d 点でした．";
inline constexpr const char* runFinished = "\n計算calcontrol()終わり";

// --- startup ---
inline constexpr const char* startTitle = "\n\nロボットのハイブリッド制御シミュレーション";
inline constexpr const char* startSubtitle = "\n位置制御型ドライバーを持つロボットによるなぞり動作";
inline constexpr const char* startFileQuestion = "\n\nロボット諸元・軌道データファイルから読みとり？   yes:r   no:n    ";
inline constexpr const char* startRobotQuestion = "\nロボットの選択   a:円筒座標ロボット　b:SCARAロボット　type=";
inline constexpr const char* startEcho = "\n%c";
inline constexpr const char* startMethodQuestion = "\nHYbrid制御法7,8の選択   hybrid=";
inline constexpr const char* startContourQuestion = "\n輪郭曲線の選択   L:直線　C:円　S:正弦波 curve=";

// --- menu ---
inline constexpr const char* menuTitle = "\n\nキーによる操作選択";
inline constexpr const char* menuFile = "\n(0) 'r'       : ファイルrobot51.dat, 52.dat,....から読みとり";
inline constexpr const char* menuRobot = "\n(1-1) 'a' 'b' : 円筒座標・SCARAロボットの選択";
inline constexpr const char* menuSprings = "\n(1-6) 'k'     : ハンドのばね定数変更";
inline constexpr const char* menuMethod = "\n(2-1) 'h'     : hybrid制御方法選択・変更";
inline constexpr const char* menuGains = "\n(2-2) 'g'     : 制御ゲイン変更";
inline constexpr const char* menuContour = "\n(3-2) 'L' 'C' 'S' : 物体輪郭を選択";
inline constexpr const char* menuSetError = "\n(3-2) 'e'     : 物体設置の位置誤差を変更";
inline constexpr const char* menuForce = "\n(3-3) 'f'     : 接触力設定";
inline constexpr const char* menuDrawing = "\n(5) 描画の選択";
inline constexpr const char* menuStep = "\n(5-1) 's'    ：アニメーション継続";
inline constexpr const char* menuReset = "\n(5-2) '0'    ：運動初期に戻す";
inline constexpr const char* menuZoom = "\n(5-3) 'w' 'W'：ロボット図の縮小拡大";
inline constexpr const char* menuEscape = "\n(6)   ESC    ：終了";

// --- dialogue ---
inline constexpr const char* headingRobotA = "\n\n(a) 円筒座標ロボットのhybrid制御";
inline constexpr const char* headingRobotB = "\n\n(b) SCARAロボットのhybrid制御";
inline constexpr const char* openingQuestion = "\nロボット・制御・輪郭等の諸元変更？:y   全て変更しない:n   ";
inline constexpr const char* springsOld = "\n(1-6) ハンドばね定数　旧(KH1,KH2)=(%7.2f %7.2f)[N/m]";
inline constexpr const char* springsQuestion = "\n(1-6) ハンドばね定数変更？：y  変更しない：z  以下全て変更しない : n  ";
inline constexpr const char* springsInput = "\n      入力　KH1 KH2=";
inline constexpr const char* methodOld = "\n(2-1) hybrid制御方法　旧 hybrid%c ";
inline constexpr const char* methodQuestion = "\n(2-1) hybrid制御方法変更？：y  変更しない：z  以下全て変更しない : n  ";
inline constexpr const char* methodDescription7 = "\n hybrid7:作業空間で1位置制御と1力制御：（φ1,φ2)で(x,,Fn)制御";
inline constexpr const char* methodDescription8 = "\n hybrid8:関節空間で力制御：（φ1,φ2)で(Ft,Fn)制御";
inline constexpr const char* methodInput = "\n(2-1) 旧 hybrid%c →　変更 7,8 のどちらか　sgnhybrid=";
inline constexpr const char* gainsOld1 = "\n(2-2) 制御ゲイン1 旧　fn1=%6.3f[Hz], α1=%6.3f[1/s]";
inline constexpr const char* gainsOld2 = "\n                2 旧　fn2=%6.3f[Hz], α2=%6.3f[1/s]";
inline constexpr const char* gainsQuestion = "\n(2-2) 制御ゲイン変更？：y  変更しない：z  以下全て変更しない : n  ";
inline constexpr const char* gainsExplain1 = "\n(2-2) PIDフィードバックゲイン変更";
inline constexpr const char* gainsExplain2 = "\n   ロボット動力学を線形化した系の積分・比例・速度ゲインを設定";
inline constexpr const char* gainsExplain3 = "\n   制御系の減衰比ζ1,ζ2=1.0とする";
inline constexpr const char* gainsExplain4 = "\n   制御系の固有振動数ωnともう１つの時定数の逆数αを変更\n   （PD制御ならばα=0とする）";
inline constexpr const char* gainsInput1 = "\n   第１制御系 旧fn1=%6.3f[Hz], α1=%6.3f[1/s]  fn1 α1=";
inline constexpr const char* gainsInput2 = "   第２制御系 旧fn2=%6.3f[Hz], α2=%6.3f[1/s]  fn2 α2=";
inline constexpr const char* contourOld = "\n(3-2) 物体輪郭　旧 %c ";
inline constexpr const char* contourNameLine = " 直線";
inline constexpr const char* contourNameCircle = " 円";
inline constexpr const char* contourNameSine = " 正弦波曲線";
inline constexpr const char* contourQuestion = "\n(3-2) 物体輪郭変更？：y  変更しない：z  以下全て変更しない : n  ";
inline constexpr const char* contourInput = "\n      入力 L,C,S のどれか　sgn=";
inline constexpr const char* lineHeading = "\n(3-2-1) 直線";
inline constexpr const char* lineOldStart = "\n    旧  始点 (x0,y0)=(%6.3f %6.3f)[m]";
inline constexpr const char* lineOldEnd = "\n \t    終点 (xf,yf)=(%6.3f %6.3f)[m]  位置決め時間 tf=%5.2f[s]";
inline constexpr const char* lineQuestion = "\n    直線終始点・時間変更する？  yes:y   no:n  以下全て変更しない:n ";
inline constexpr const char* lineInput = "\n  入力  x0 y0 xf yf tf=";
inline constexpr const char* circleHeading = "\n(3-2-2) 円  右端から反時計回りに１周";
inline constexpr const char* circleOldCentre = "\n    旧円の中心O=(%6.3f %6.3f)[m]   半径r=%6.3f[m]";
inline constexpr const char* circleOldTime = "\n      位置決め時間 tf=%5.3f[s]";
inline constexpr const char* circleQuestion = "\n    円終始点・時間変更する？  yes:y   no:n  以下全て変更しない:n ";
inline constexpr const char* circleInput = "\n    Ox Oy r tf=";
inline constexpr const char* sineHeading = "\n(3-2-4) 正弦波軌道 y=A*sin(2π(x-x0)/L)+y0";
inline constexpr const char* sineOldStart = "\n     旧始点 P0=(%6.3f %6.3f)";
inline constexpr const char* sineOldShape = "\n       波長 L=%6.3f[m]  振幅A=%6.3f[m]  位置決め時間tf=%5.2f[s]";
inline constexpr const char* sineQuestion = "\n    正弦波終始点・時間変更する？  yes:y   no:n  以下全て変更しない:n ";
inline constexpr const char* sineInput = "\n   入力 始点・波長・振幅・時間　x0 y0 L A tf=";
inline constexpr const char* setErrorOld = "\n(3-3) 物体設置誤差　旧 seterror=%5.2f[mm]";
inline constexpr const char* setErrorQuestion = "\n(3-3) 設置誤差変更？：y  変更しない：z  以下全て変更しない : n ";
inline constexpr const char* setErrorInput = "\n      入力　seterror[mm]=";
inline constexpr const char* forceOld = "\n(3-4) 接触力（法線力）　旧 Fn=%5.2f[N]";
inline constexpr const char* forceQuestion = "\n(3-4) 接触力変更？：y  変更しない：n  ";
inline constexpr const char* forceInput = "\n      入力　Fn=";
inline constexpr const char* computing = "\n     只今計算中．．．．．．．";
inline constexpr const char* computed = "     計算終了";
inline constexpr const char* toWindow = "\n\n     描画画面へ　　　　　";

// --- report ---
inline constexpr const char* reportTitle = "\n\n******位置制御型ドライバーを持つロボットによるなぞり動作******";
inline constexpr const char* reportSubtitle = "\n現在設定している値";
inline constexpr const char* reportRobotA = "\n(1-1) ロボットタイプ        円筒座標ロボット";
inline constexpr const char* reportArmA = "\n(1-2) アーム長     l = %6.3f[m]";
inline constexpr const char* reportRobotB = "\n(1-1) ロボットタイプ   SCARAロボット";
inline constexpr const char* reportArmsB = "\n(1-2) 第1,2アーム長 (l1,l2)=(%6.3f,%6.3f)[m]";
inline constexpr const char* reportProbeOffset = "\n      アーム先端・接触子先端位置間距離    wp= %6.3f[m]";
inline constexpr const char* reportSpringsKgf = "\n(1-6) ハンドのばね定数　          (KH1, KH2)=(%6.3f %6.3f)[kgf/mm]";
inline constexpr const char* reportMethod7 = "\n(2-1) hybrid7:作業空間で接線方向位置s，法線力Fnを制御";
inline constexpr const char* reportMethod8 = "\n(2-1) hybrid8:未知物体に対し関節空間で力(Fn,0)を制御";
inline constexpr const char* reportSystem1 = "\n(2-2) 接線位置制御系特性 (ωn,ζ,α) =(%7.3f[Hz] %7.3f %7.3f[1/s])";
inline constexpr const char* reportGains = "\n      →ゲイン (Kp,Kv,Ki)=(%7.4f     %7.4f %7.4f)";
inline constexpr const char* reportSystem2 = "\n      法線力制御系特性   (ωn,ζ,α) =(%7.3f[Hz] %7.3f %7.3f[1/s])";
inline constexpr const char* reportServoStiffness = "\n      →先端サーボ剛性 (接線, 法線)=(%6.2f %6.2f)[N/m]";
inline constexpr const char* reportSpringsN = "\n(1-6) ハンドのばね定数 (KH1,  KH2) =(%6.2f %6.2f)[N/m]";
inline constexpr const char* reportForce = "\n(3-2) 接触力　       Fn=%6.3f[N]";
inline constexpr const char* reportLineTime = "\n(3-3-1) 直線輪郭    　移動時間 tf= %6.3f[s]";
inline constexpr const char* reportLineSpeed = "\n       (台形速度運動) 移動速度 vs= %6.3f[m/s]";
inline constexpr const char* reportCircleTime = "\n(3-3-2) 円輪郭　    　 移動時間 tf= %6.3f[s]";
inline constexpr const char* reportCircleSpeed = "\n       (台形速度運動)  移動速度 vs= %6.3f[m/s]";
inline constexpr const char* reportCircleShape = "\n              　    　 中心位置   =(%6.3f %6.3f)[m] 半径=%6.3f[m]";
inline constexpr const char* reportSineTime = "\n(3-3-4) 正弦波曲線輪郭  移動時間 tf= %6.3f[s]";
inline constexpr const char* reportSineSpeed = "\n       (台形速度運動)   移動速度 vs= %6.3f[m/s]";
inline constexpr const char* reportSineShape = "\n                    波長・振幅(L,A)=(%6.3f,%6.3f)[m]";
inline constexpr const char* reportStart = "\n(3-4) ロボット初期位置    (x0,y0) =(%6.3f %6.3f)[m]";
inline constexpr const char* reportEnd = "\n(3-5) ロボット終端位置    (xf,yf) =(%6.3f %6.3f)[m]";
inline constexpr const char* reportSetError = "\n(3-6) 物体設置誤差(X正方向ずれ) e = %6.2f[mm]";

// --- file ---
inline constexpr const char* fileTitle = "\nファイル 'robot51.dat, robot52.dat, ...'から読み込み";
inline constexpr const char* fileNamePrompt = "\nファイル名入力　";
inline constexpr const char* fileNameConfirm = "\n読み込んだファイル名 = %s   OK?";
inline constexpr const char* fileConfirmQuestion = "\nIf OK,  input  y,  if not,  n  ";

}  // namespace hybridsim::msg

// --- console notices: mistakes in the input and the data file dialogue ---
namespace hybridsim::msg {

inline constexpr const char* notANumber = "\n!!! 数値ではありません: '%s'　この値から後は変更しません．";
inline constexpr const char* extraInputIgnored = "\n!!! 余分な入力を読み飛ばしました: '%s'";
inline constexpr const char* notFinite = "\n!!! %s が有限の数値ではありません．旧値のままです．";
inline constexpr const char* notPositive = "\n!!! %s は正の値でなければなりません．旧値のままです．";
inline constexpr const char* velocityGainZero =
    "\n!!! fn%d と α%d では速度ゲイン Kv%d が 0 になり制御系が定まりません．旧値のままです．";
inline constexpr const char* fileNotRead = "\n!!! ファイルを読み込めません（設定は変わりません）: %s";
inline constexpr const char* fileInputEnded = "\n!!! 入力が終わりました．ファイルは読み込みません．";
inline constexpr const char* runShorterThanPath =
    "\n!!! 位置決め時間 tf=%6.3f[s] が計算時間 %6.3f[s] より長いので，輪郭の途中までしか動きません．";
// A run whose numbers stop being numbers: from which sample, then why.
inline constexpr const char* runFaultFrom = "\n!!! サンプル %d (t=%.2f[s]) から計算値が数値でなくなります：";
inline constexpr const char* runFaultLoopPosition = "接線位置";
inline constexpr const char* runFaultLoopForce = "法線力";
inline constexpr const char* runFaultStepTooLong =
    "%s制御系 (fn%d=%g[Hz]) が速すぎて，積分の刻み h=%g[s] では数値積分が発散します．";
inline constexpr const char* runFaultStableUpTo = "この計算の刻み（最長 %g[s]）で安定なのは fn%d が約 %.3g[Hz] までです．";
inline constexpr const char* runFaultLoopUnstable =
    "%s制御系 (fn%d=%g[Hz], α%d=%g[1/s]) が不安定で，偏差が限りなく大きくなります．";
inline constexpr const char* runFaultGains =
    "fn%d=%g[Hz], α%d=%g[1/s] ではゲイン Kp%d, Kv%d, Ki%d が倍精度の数の範囲を超えます．";
inline constexpr const char* runFaultVelocityGainTiny =
    "fn%d=%g[Hz], α%d=%g[1/s] では速度ゲイン Kv%d=%g が小さすぎて，Kv%d で割った値が倍精度の数の範囲を超えます．";
inline constexpr const char* runFaultForceTooLarge =
    "接触力 Fn=%g[N] が大きすぎて，力制御系の計算 (Kp2-1)(Fn-F) が倍精度の数の範囲を超えます．";
inline constexpr const char* runFaultPathNumbers =
    "経路の長さ %g[m] が大きすぎて，接線位置制御系の計算 (Kp1-1)(sr-s) が倍精度の数の範囲を超えます．";
inline constexpr const char* runFaultLineTooLong = "直線の端点が離れすぎて，直線の長さが倍精度の数の範囲を超え，目標軌道が定まりません．";
inline constexpr const char* runFaultCircleTooLong =
    "半径 r=%g[m] が大きすぎて，円周 2πr が倍精度の数の範囲を超え，目標軌道が定まりません．";
inline constexpr const char* runFaultSineTooLong =
    "振幅 A=%g[m] が波長 L=%g[m] に比べて大きすぎて，正弦波の長さが倍精度の数の範囲を超え，目標軌道が定まりません．";
inline constexpr const char* runFaultPathTooFast =
    "位置決め時間 tf=%g[s] が経路の長さ %g[m] に比べて短すぎて，目標の速度・加速度が倍精度の数の範囲を超えます．";
inline constexpr const char* runFaultSpringsTooStiff =
    "ハンドのばね定数 KH1=%g, KH2=%g[N/m] が大きすぎて，接触子のたわみの計算 (KH1×KH2) が倍精度の数の範囲を超えます．";
inline constexpr const char* runFaultSpringsTooSoft =
    "ハンドのばね定数 KH1=%g, KH2=%g[N/m] が小さすぎて，接触力 %g[N] に要るたわみ F/KH が倍精度の数の範囲を超えます．";
inline constexpr const char* runFaultCoordinates = "ロボットか輪郭の位置の値が大きすぎて，倍精度の数の範囲を超えます．";
// A sampled force loop with a pole outside the unit circle (contact=spring).
inline constexpr const char* sampledLoopUnstable =
    "\n!!! 制御周期 T=%g[s] で標本化した力制御系は，輪郭の始点まわりでサーボの遅れを除いて線形化すると不安定です（極の最大 |z|=%.4g > 1）．";
inline constexpr const char* sampledLoopStableBelow = "遅れがなければ T が約 %.3g[s] より短いとき，この線形化した系は安定です．";
inline constexpr const char* sampledLoopServoLeftOut = "サーボの遅れ %g[s] はこの計算に含まれず，境界をどちらにも動かします．";
inline constexpr const char* saveTitle = "\n現在の設定をファイル 'robot51.dat, robot52.dat, ...' に保存";
inline constexpr const char* saveReplaceQuestion = "\nファイル %s は既にあります．上書きする？  yes:y   no:n  ";
inline constexpr const char* saveDone = "\nファイル %s に保存しました．";
inline constexpr const char* saveFailed = "\n!!! ファイルに保存できません（設定は変わりません）: %s";
inline constexpr const char* saveInputEnded = "\n!!! 入力が終わりました．ファイルは保存しません．";
inline constexpr const char* saveNameEmpty = "\n!!! ファイル名がありません．ファイルは保存しません．";
inline constexpr const char* saveNameBlank =
    "\n!!! ファイル名に空白は使えません（'r' で読み込めなくなります）: '%s'";
inline constexpr const char* saveNameControl = "\n!!! ファイル名に制御文字は使えません: '%s'";
inline constexpr const char* playbackSpeed = "\n再生速度 ×%s";
inline constexpr const char* keyNotOffered = "\n!!! このキーは選べません: '%s'　%s のどれかを入力してください．";

}  // namespace hybridsim::msg
