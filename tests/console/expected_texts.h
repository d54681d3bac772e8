// The console texts as a user sees them, written out once more for the
// transcript tests (independent of the program's own table).  Format
// conversions are left in; the tests fill them with hybridsim::format.
#pragma once

namespace hybridsim::testing::expect {

inline constexpr const char* M1 = "\n\nロボットのハイブリッド制御シミュレーション";
inline constexpr const char* M2 = "\n位置制御型ドライバーを持つロボットによるなぞり動作";
inline constexpr const char* M3 = "\n\nロボット諸元・軌道データファイルから読みとり？   yes:r   no:n    ";
inline constexpr const char* M4 = "\nロボットの選択   a:円筒座標ロボット　b:SCARAロボット　type=";
inline constexpr const char* M5 = "\n%c";
inline constexpr const char* M6 = "\nHYbrid制御法7,8の選択   hybrid=";
inline constexpr const char* M7 = "\n輪郭曲線の選択   L:直線　C:円　S:正弦波 curve=";
inline constexpr const char* K1 = "\n\nキーによる操作選択";
inline constexpr const char* K2 = "\n(0) 'r'       : ファイルrobot51.dat, 52.dat,....から読みとり";
inline constexpr const char* K3 = "\n(1-1) 'a' 'b' : 円筒座標・SCARAロボットの選択";
inline constexpr const char* K4 = "\n(1-6) 'k'     : ハンドのばね定数変更";
inline constexpr const char* K5 = "\n(2-1) 'h'     : hybrid制御方法選択・変更";
inline constexpr const char* K6 = "\n(2-2) 'g'     : 制御ゲイン変更";
inline constexpr const char* K7 = "\n(3-2) 'L' 'C' 'S' : 物体輪郭を選択";
inline constexpr const char* K8 = "\n(3-2) 'e'     : 物体設置の位置誤差を変更";
inline constexpr const char* K9 = "\n(3-3) 'f'     : 接触力設定";
inline constexpr const char* K10 = "\n(5) 描画の選択";
inline constexpr const char* K11 = "\n(5-1) 's'    ：アニメーション継続";
inline constexpr const char* K12 = "\n(5-2) '0'    ：運動初期に戻す";
inline constexpr const char* K13 = "\n(5-3) 'w' 'W'：ロボット図の縮小拡大";
inline constexpr const char* K14 = "\n(6)   ESC    ：終了";
inline constexpr const char* H1 = "\n\n(a) 円筒座標ロボットのhybrid制御";
inline constexpr const char* H2 = "\n\n(b) SCARAロボットのhybrid制御";
inline constexpr const char* Q0 = "\nロボット・制御・輪郭等の諸元変更？:y   全て変更しない:n   ";
inline constexpr const char* S1a = "\n(1-6) ハンドばね定数　旧(KH1,KH2)=(%7.2f %7.2f)[N/m]";
inline constexpr const char* S1q = "\n(1-6) ハンドばね定数変更？：y  変更しない：z  以下全て変更しない : n  ";
inline constexpr const char* S1i = "\n      入力　KH1 KH2=";
inline constexpr const char* S2a = "\n(2-1) hybrid制御方法　旧 hybrid%c ";
inline constexpr const char* S2q = "\n(2-1) hybrid制御方法変更？：y  変更しない：z  以下全て変更しない : n  ";
inline constexpr const char* S2d7 = "\n hybrid7:作業空間で1位置制御と1力制御：（φ1,φ2)で(x,,Fn)制御";
inline constexpr const char* S2d8 = "\n hybrid8:関節空間で力制御：（φ1,φ2)で(Ft,Fn)制御";
inline constexpr const char* S2i = "\n(2-1) 旧 hybrid%c →　変更 7,8 のどちらか　sgnhybrid=";
inline constexpr const char* S3a = "\n(2-2) 制御ゲイン1 旧　fn1=%6.3f[Hz], α1=%6.3f[1/s]";
inline constexpr const char* S3b = "\n                2 旧　fn2=%6.3f[Hz], α2=%6.3f[1/s]";
inline constexpr const char* S3q = "\n(2-2) 制御ゲイン変更？：y  変更しない：z  以下全て変更しない : n  ";
inline constexpr const char* S3e1 = "\n(2-2) PIDフィードバックゲイン変更";
inline constexpr const char* S3e2 = "\n   ロボット動力学を線形化した系の積分・比例・速度ゲインを設定";
inline constexpr const char* S3e3 = "\n   制御系の減衰比ζ1,ζ2=1.0とする";
inline constexpr const char* S3e4 = "\n   制御系の固有振動数ωnともう１つの時定数の逆数αを変更\n   （PD制御ならばα=0とする）";
inline constexpr const char* S3i1 = "\n   第１制御系 旧fn1=%6.3f[Hz], α1=%6.3f[1/s]  fn1 α1=";
inline constexpr const char* S3i2 = "   第２制御系 旧fn2=%6.3f[Hz], α2=%6.3f[1/s]  fn2 α2=";
inline constexpr const char* S4a = "\n(3-2) 物体輪郭　旧 %c ";
inline constexpr const char* S4L = " 直線";
inline constexpr const char* S4C = " 円";
inline constexpr const char* S4S = " 正弦波曲線";
inline constexpr const char* S4q = "\n(3-2) 物体輪郭変更？：y  変更しない：z  以下全て変更しない : n  ";
inline constexpr const char* S4i = "\n      入力 L,C,S のどれか　sgn=";
inline constexpr const char* L1 = "\n(3-2-1) 直線";
inline constexpr const char* L2 = "\n    旧  始点 (x0,y0)=(%6.3f %6.3f)[m]";
inline constexpr const char* L3 = "\n \t    終点 (xf,yf)=(%6.3f %6.3f)[m]  位置決め時間 tf=%5.2f[s]";
inline constexpr const char* Lq = "\n    直線終始点・時間変更する？  yes:y   no:n  以下全て変更しない:n ";
inline constexpr const char* Li = "\n  入力  x0 y0 xf yf tf=";
inline constexpr const char* C1 = "\n(3-2-2) 円  右端から反時計回りに１周";
inline constexpr const char* C2 = "\n    旧円の中心O=(%6.3f %6.3f)[m]   半径r=%6.3f[m]";
inline constexpr const char* C3 = "\n      位置決め時間 tf=%5.3f[s]";
inline constexpr const char* Cq = "\n    円終始点・時間変更する？  yes:y   no:n  以下全て変更しない:n ";
inline constexpr const char* Ci = "\n    Ox Oy r tf=";
inline constexpr const char* W1 = "\n(3-2-4) 正弦波軌道 y=A*sin(2π(x-x0)/L)+y0";
inline constexpr const char* W2 = "\n     旧始点 P0=(%6.3f %6.3f)";
inline constexpr const char* W3 = "\n       波長 L=%6.3f[m]  振幅A=%6.3f[m]  位置決め時間tf=%5.2f[s]";
inline constexpr const char* Wq = "\n    正弦波終始点・時間変更する？  yes:y   no:n  以下全て変更しない:n ";
inline constexpr const char* Wi = "\n   入力 始点・波長・振幅・時間　x0 y0 L A tf=";
inline constexpr const char* S5a = "\n(3-3) 物体設置誤差　旧 seterror=%5.2f[mm]";
inline constexpr const char* S5q = "\n(3-3) 設置誤差変更？：y  変更しない：z  以下全て変更しない : n ";
inline constexpr const char* S5i = "\n      入力　seterror[mm]=";
inline constexpr const char* S6a = "\n(3-4) 接触力（法線力）　旧 Fn=%5.2f[N]";
inline constexpr const char* S6q = "\n(3-4) 接触力変更？：y  変更しない：n  ";
inline constexpr const char* S6i = "\n      入力　Fn=";
inline constexpr const char* Z1 = "\n     只今計算中．．．．．．．";
inline constexpr const char* Z2 = "     計算終了";
inline constexpr const char* Z3 = "\n\n     描画画面へ　　　　　";
inline constexpr const char* F1 = "\nファイル 'robot51.dat, robot52.dat, ...'から読み込み";
inline constexpr const char* F2 = "\nファイル名入力　";
inline constexpr const char* F3 = "\n読み込んだファイル名 = %s   OK?";
inline constexpr const char* F4 = "\nIf OK,  input  y,  if not,  n  ";

// run and no-solution messages
inline constexpr const char* runFinished = "\n計算calcontrol()終わり";
inline constexpr const char* noSolution = "\n!!! 逆運動学の解なし．始めからやり直し．";
inline constexpr const char* noSolutionDetail = "\n    アーム長1,2=(%6.3f %6.3f) 位置(x,y)=(%6.3f %6.3f)";

// notices of a key outside a selector's choices and of a run shorter than tf
inline constexpr const char* keyNotOffered = "\n!!! このキーは選べません: '%s'　%s のどれかを入力してください．";
inline constexpr const char* runShorterThanPath =
    "\n!!! 位置決め時間 tf=%6.3f[s] が計算時間 %6.3f[s] より長いので，輪郭の途中までしか動きません．";
// ... and of a run whose numbers stop being numbers
inline constexpr const char* runFaultFrom = "\n!!! サンプル %d (t=%.2f[s]) から計算値が数値でなくなります：";

}  // namespace hybridsim::testing::expect
