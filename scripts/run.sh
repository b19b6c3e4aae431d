#!/usr/bin/env bash
# Installs what is needed, builds Tavrin and runs its main job on the demo scene. The build
# generates the scene as ordinary files in $build/data/demo: the sample model as the stage, a
# dancing mannequin (mannequin.pmx) with its dance (dance.vmd), a camera motion (camera.vmd) and a
# music track (music.wav).
#
# The main job, the first that this build has:
#   1. with a display (DISPLAY or WAYLAND_DISPLAY set, TAVRIN_HEADLESS unset): the player, tavrin,
#      plays the demo scene;
#   2. tavrin-export renders the demo scene to an MP4 file and the script says where it is
#      (TAVRIN_DEMO_OUTPUT, default $build/demo.mp4);
#   3. tavrin-inspect prints what the readers make of the demo files and poses the dance.
# The script says which job it runs. Anything that fails (setup, configure, build, generation,
# the job itself, an empty video) stops it with a message on stderr and a non-zero exit status;
# it never ends without running a job.
#
# Environment: TAVRIN_BUILD_DIR (default build), TAVRIN_SKIP_SETUP=1 skips the package install
# (for machines that have everything), TAVRIN_HEADLESS=1 exports even with a display.
set -euo pipefail
cd "$(dirname "$0")/.."

say() { echo "run.sh: $*"; }
die() {
  echo "run.sh: error: $*" >&2
  exit 1
}
trap 'status=$?; echo "run.sh: error: \"$BASH_COMMAND\" failed with exit status $status (line $LINENO)" >&2; exit $status' ERR

if [ "${TAVRIN_SKIP_SETUP:-0}" != 1 ]; then
  bash scripts/setup.sh
fi
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/tavrin-runtime-$(id -u)}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
display=0
if [ "${TAVRIN_HEADLESS:-0}" != 1 ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  display=1
else
  export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
fi
build=${TAVRIN_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The target list is read whole before it is searched: a reader that stops at the first match
# (grep -q) would close the pipe early and, under pipefail, make the pipeline fail even though
# the target is there.
targets=$(ninja -C "$build" -t targets all) || die "cannot list the targets of $build"
has_target() { awk -v want="$1:" '$1 == want { found = 1 } END { exit !found }' <<<"$targets"; }

# Builds a program target and prints the path of the program.
build_program() {
  cmake --build "$build" --target "$1" >&2 || die "building $1 failed"
  local path
  path=$(find "$build" -type f -name "$1" -perm -u+x ! -path '*/CMakeFiles/*' -print -quit)
  [ -n "$path" ] || die "$1 was built but is not in $build"
  echo "$path"
}

has_target tavrin_demo_scene || die "this build has no demo scene target (tavrin_demo_scene)"
cmake --build "$build" --target tavrin_demo_scene || die "generating the demo scene failed"
demo="$build/data/demo"
for f in stage.pmx mannequin.pmx dance.vmd camera.vmd music.wav; do
  [ -s "$demo/$f" ] || die "the demo scene has no $demo/$f"
done
# The scene as the player and the export command take it: each model followed by its motions.
scene=("$demo/stage.pmx" "$demo/mannequin.pmx" "$demo/dance.vmd" --camera "$demo/camera.vmd" --audio "$demo/music.wav")

if [ "$display" = 1 ] && has_target tavrin; then
  player=$(build_program tavrin)
  say "main job: the player on the demo scene: $player ${scene[*]}"
  "$player" "${scene[@]}" || die "the player failed (exit status $?)"
  exit 0
fi

if has_target tavrin-export; then
  exporter=$(build_program tavrin-export)
  out=${TAVRIN_DEMO_OUTPUT:-$build/demo.mp4}
  [ "$display" = 1 ] && say "this build has no player (tavrin) yet; exporting instead."
  # What the renderer offers, through its settings: the sun and its shadows and the sample sky
  # always; probe GI, ray-traced AO and reflections where a GPU traces rays (on a CPU device such
  # as lavapipe they would take seconds a frame, so the demo leaves them off there).
  look=(--environment "<Sample>" --set SunLightEnable=1)
  if has_target tavrin-inspect; then
    inspect=$(build_program tavrin-inspect)
    gpu=$("$inspect" --gpu --json 2>/dev/null || true)
    if grep -q '"raytracing": *true' <<<"$gpu" && ! grep -q '"kind": *"cpu"' <<<"$gpu"; then
      look+=(--set GI_Mode=1 --set AO_Mode=2 --set SR_Mode=1 --set reflection.Temporal=1)
    fi
  fi
  say "main job: exporting the demo scene to $out"
  say "$exporter -o $out --size 1280x720 --fps 30 ${look[*]} ${scene[*]}"
  "$exporter" -o "$out" --size 1280x720 --fps 30 "${look[@]}" "${scene[@]}" || die "tavrin-export failed (exit status $?)"
  [ -s "$out" ] || die "tavrin-export reported success but $out is missing or empty"
  if command -v ffprobe >/dev/null 2>&1; then
    ffprobe -v error -show_entries format=duration:stream=codec_name,width,height -of compact=p=0 "$out" ||
      die "tavrin-export wrote $out but ffprobe cannot read it"
  fi
  say "the demo video is $(realpath "$out") ($(du -h "$out" | cut -f1))."
  exit 0
fi

if has_target tavrin-inspect; then
  inspect=$(build_program tavrin-inspect)
  say "main job: this build has neither the player (tavrin) nor the export command (tavrin-export) yet,"
  say "so it runs the model inspector ($inspect) on the demo scene in $demo."
  say "the dancer:"
  "$inspect" "$demo/mannequin.pmx"
  say "its dance:"
  "$inspect" "$demo/dance.vmd"
  say "the camera motion at the start, the close-up and the cut to the wide shot:"
  "$inspect" --camera "$demo/camera.vmd" --frames 0,180,239,240
  say "the dancer posed by the dance, with physics, at the start, mid-step and the end:"
  "$inspect" --pose "$demo/mannequin.pmx" "$demo/dance.vmd" --frames 0,150,300 --physics
  say "done: the inspector read every demo file; the music track is $(realpath "$demo/music.wav")."
  exit 0
fi

die "this build has no main job: none of tavrin, tavrin-export or tavrin-inspect is a target of $build"
