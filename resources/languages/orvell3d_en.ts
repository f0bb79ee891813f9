<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>App</name>
    <message>
        <source>Not a file, not opened: %1</source>
        <translation>Not a file, not opened: %1</translation>
    </message>
</context>
<context>
    <name>Canvas</name>
    <message>
        <source>The 3D view needs OpenGL 3.2; this system offers %1.%2.</source>
        <translation>The 3D view needs OpenGL 3.2; this system offers %1.%2.</translation>
    </message>
    <message>
        <source>The 3D view's shaders could not be built:
</source>
        <translation>The 3D view's shaders could not be built:
</translation>
    </message>
    <message>
        <source>Support Mode (1 Pt). Press ESC to escape.</source>
        <translation>Support Mode (1 Pt). Press ESC to escape.</translation>
    </message>
    <message>
        <source>Support Mode (2 Pt). Press ESC to escape.</source>
        <translation>Support Mode (2 Pt). Press ESC to escape.</translation>
    </message>
    <message>
        <source> [X Flip Copy ON]</source>
        <translation> [X Flip Copy ON]</translation>
    </message>
    <message>
        <source> [Y Flip Copy ON]</source>
        <translation> [Y Flip Copy ON]</translation>
    </message>
    <message>
        <source>Select a boundary to create the ring support</source>
        <translation>Select a boundary to create the ring support</translation>
    </message>
    <message>
        <source>The 3D view is not available (see the log).</source>
        <translation>The 3D view is not available (see the log).</translation>
    </message>
    <message>
        <source>The 3D view is not available.</source>
        <translation>The 3D view is not available.</translation>
    </message>
</context>
<context>
    <name>Loader</name>
    <message>
        <source>Could not load %1: %2</source>
        <translation>Could not load %1: %2</translation>
    </message>
</context>
<context>
    <name>Scene</name>
    <message>
        <source>Models out of build size</source>
        <translation>Models out of build size</translation>
    </message>
    <message>
        <source>No model is selected</source>
        <translation>No model is selected</translation>
    </message>
    <message>
        <source>Selected supports and bases will be ignored.</source>
        <translation>Selected supports and bases will be ignored.</translation>
    </message>
    <message>
        <source>All model is deleted.</source>
        <translation>All model is deleted.</translation>
    </message>
</context>
<context>
    <name>Window</name>
    <message>
        <source>3D View</source>
        <translation>3D View</translation>
    </message>
    <message>
        <source>Slice View</source>
        <translation>Slice View</translation>
    </message>
    <message>
        <source>|&lt;</source>
        <translation>|&lt;</translation>
    </message>
    <message>
        <source>First slice</source>
        <translation>First slice</translation>
    </message>
    <message>
        <source>&lt;</source>
        <translation>&lt;</translation>
    </message>
    <message>
        <source>Previous slice</source>
        <translation>Previous slice</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>Next slice</source>
        <translation>Next slice</translation>
    </message>
    <message>
        <source>&gt;|</source>
        <translation>&gt;|</translation>
    </message>
    <message>
        <source>Last slice</source>
        <translation>Last slice</translation>
    </message>
    <message>
        <source>Delete this slice</source>
        <translation>Delete this slice</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>Scale</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>Uniform scale</source>
        <translation>Uniform scale</translation>
    </message>
    <message>
        <source>Size (mm)</source>
        <translation>Size (mm)</translation>
    </message>
    <message>
        <source>Move (mm)</source>
        <translation>Move (mm)</translation>
    </message>
    <message>
        <source>Rotate (°)</source>
        <translation>Rotate (°)</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Align</source>
        <translation>Align</translation>
    </message>
    <message>
        <source>Top</source>
        <translation>Top</translation>
    </message>
    <message>
        <source>Align the tops (largest y)</source>
        <translation>Align the tops (largest y)</translation>
    </message>
    <message>
        <source>Middle</source>
        <translation>Middle</translation>
    </message>
    <message>
        <source>Align the centres in y</source>
        <translation>Align the centres in y</translation>
    </message>
    <message>
        <source>Bottom</source>
        <translation>Bottom</translation>
    </message>
    <message>
        <source>Align the bottoms (smallest y)</source>
        <translation>Align the bottoms (smallest y)</translation>
    </message>
    <message>
        <source>Equal X</source>
        <translation>Equal X</translation>
    </message>
    <message>
        <source>Equal gaps along x</source>
        <translation>Equal gaps along x</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>Align the left sides (smallest x)</source>
        <translation>Align the left sides (smallest x)</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>Center</translation>
    </message>
    <message>
        <source>Align the centres in x</source>
        <translation>Align the centres in x</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>Align the right sides (largest x)</source>
        <translation>Align the right sides (largest x)</translation>
    </message>
    <message>
        <source>Equal Y</source>
        <translation>Equal Y</translation>
    </message>
    <message>
        <source>Equal gaps along y</source>
        <translation>Equal gaps along y</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message>
        <source>1 Point</source>
        <translation>1 Point</translation>
    </message>
    <message>
        <source>2 Points</source>
        <translation>2 Points</translation>
    </message>
    <message>
        <source>Support opacity (%)</source>
        <translation>Support opacity (%)</translation>
    </message>
    <message>
        <source>Support preview</source>
        <translation>Support preview</translation>
    </message>
    <message>
        <source>Water line</source>
        <translation>Water line</translation>
    </message>
    <message>
        <source>Drain hole</source>
        <translation>Drain hole</translation>
    </message>
    <message>
        <source>Diameter (mm)</source>
        <translation>Diameter (mm)</translation>
    </message>
    <message>
        <source>Height (mm)</source>
        <translation>Height (mm)</translation>
    </message>
    <message>
        <source>Slice</source>
        <translation>Slice</translation>
    </message>
    <message>
        <source>Slicing quality</source>
        <translation>Slicing quality</translation>
    </message>
    <message>
        <source>Slice preview</source>
        <translation>Slice preview</translation>
    </message>
    <message>
        <source>S0</source>
        <translation>S0</translation>
    </message>
    <message>
        <source>Variable slicing</source>
        <translation>Variable slicing</translation>
    </message>
    <message>
        <source>Layer steps follow the surface angle.</source>
        <translation>Layer steps follow the surface angle.</translation>
    </message>
    <message>
        <source>Flex slice ranges</source>
        <translation>Flex slice ranges</translation>
    </message>
    <message>
        <source>Hollow</source>
        <translation>Hollow</translation>
    </message>
    <message>
        <source>Hollowing</source>
        <translation>Hollowing</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>Printer</translation>
    </message>
    <message>
        <source>Display resolution (px)</source>
        <translation>Display resolution (px)</translation>
    </message>
    <message>
        <source>Pixel size (µm)</source>
        <translation>Pixel size (µm)</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>&amp;Support</source>
        <translation>&amp;Support</translation>
    </message>
    <message>
        <source>Se&amp;ttings</source>
        <translation>Se&amp;ttings</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>Tool bar</source>
        <translation>Tool bar</translation>
    </message>
    <message>
        <source>New Scene</source>
        <translation>New Scene</translation>
    </message>
    <message>
        <source>Start a new scene</source>
        <translation>Start a new scene</translation>
    </message>
    <message>
        <source>Load Models...</source>
        <translation>Load Models...</translation>
    </message>
    <message>
        <source>Load .stl or .obj files</source>
        <translation>Load .stl or .obj files</translation>
    </message>
    <message>
        <source>Load Scene...</source>
        <translation>Load Scene...</translation>
    </message>
    <message>
        <source>Load a scene file</source>
        <translation>Load a scene file</translation>
    </message>
    <message>
        <source>Save Scene...</source>
        <translation>Save Scene...</translation>
    </message>
    <message>
        <source>Save the scene into a file</source>
        <translation>Save the scene into a file</translation>
    </message>
    <message>
        <source>Save as LPK...</source>
        <translation>Save as LPK...</translation>
    </message>
    <message>
        <source>Save slices into LPK format</source>
        <translation>Save slices into LPK format</translation>
    </message>
    <message>
        <source>Load LPK...</source>
        <translation>Load LPK...</translation>
    </message>
    <message>
        <source>Open a print package</source>
        <translation>Open a print package</translation>
    </message>
    <message>
        <source>Save slices into CWS format</source>
        <translation>Save slices into CWS format</translation>
    </message>
    <message>
        <source>Make Slices</source>
        <translation>Make Slices</translation>
    </message>
    <message>
        <source>Export STL...</source>
        <translation>Export STL...</translation>
    </message>
    <message>
        <source>Export the scene as one STL file</source>
        <translation>Export the scene as one STL file</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>Duplicate Models</source>
        <translation>Duplicate Models</translation>
    </message>
    <message>
        <source>Duplicate the selected model</source>
        <translation>Duplicate the selected model</translation>
    </message>
    <message>
        <source>Delete Models</source>
        <translation>Delete Models</translation>
    </message>
    <message>
        <source>Delete the selected models</source>
        <translation>Delete the selected models</translation>
    </message>
    <message>
        <source>Flip Models</source>
        <translation>Flip Models</translation>
    </message>
    <message>
        <source>Move to Bottom</source>
        <translation>Move to Bottom</translation>
    </message>
    <message>
        <source>Put the selected models on the plate</source>
        <translation>Put the selected models on the plate</translation>
    </message>
    <message>
        <source>Clear Models</source>
        <translation>Clear Models</translation>
    </message>
    <message>
        <source>Erase all models</source>
        <translation>Erase all models</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>Group the selected models</source>
        <translation>Group the selected models</translation>
    </message>
    <message>
        <source>Ungroup</source>
        <translation>Ungroup</translation>
    </message>
    <message>
        <source>Ungroup the selected models</source>
        <translation>Ungroup the selected models</translation>
    </message>
    <message>
        <source>Reset View</source>
        <translation>Reset View</translation>
    </message>
    <message>
        <source>Isometric</source>
        <translation>Isometric</translation>
    </message>
    <message>
        <source>Front</source>
        <translation>Front</translation>
    </message>
    <message>
        <source>Rear</source>
        <translation>Rear</translation>
    </message>
    <message>
        <source>Auto Supports</source>
        <translation>Auto Supports</translation>
    </message>
    <message>
        <source>Create a Base</source>
        <translation>Create a Base</translation>
    </message>
    <message>
        <source>Add a Global Base</source>
        <translation>Add a Global Base</translation>
    </message>
    <message>
        <source>Create a Ring Base</source>
        <translation>Create a Ring Base</translation>
    </message>
    <message>
        <source>Add a Grid Base</source>
        <translation>Add a Grid Base</translation>
    </message>
    <message>
        <source>Add Support Linkers</source>
        <translation>Add Support Linkers</translation>
    </message>
    <message>
        <source>Drain Hole</source>
        <translation>Drain Hole</translation>
    </message>
    <message>
        <source>Raft</source>
        <translation>Raft</translation>
    </message>
    <message>
        <source>Draw on Slice</source>
        <translation>Draw on Slice</translation>
    </message>
    <message>
        <source>Printer Setting</source>
        <translation>Printer Setting</translation>
    </message>
    <message>
        <source>Exposure Calibration</source>
        <translation>Exposure Calibration</translation>
    </message>
    <message>
        <source>Save setting and recipe</source>
        <translation>Save setting and recipe</translation>
    </message>
    <message>
        <source>Save recipe file</source>
        <translation>Save recipe file</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Check for Updates</translation>
    </message>
    <message>
        <source>Initialization completed</source>
        <translation>Initialization completed</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>&lt;b&gt;Error:&lt;/b&gt;&lt;br&gt;No setting file found&lt;br&gt;</source>
        <translation>&lt;b&gt;Error:&lt;/b&gt;&lt;br&gt;No setting file found&lt;br&gt;</translation>
    </message>
    <message>
        <source>A model is still being read; %1 was not opened.</source>
        <translation>A model is still being read; %1 was not opened.</translation>
    </message>
    <message>
        <source>Reading </source>
        <translation>Reading </translation>
    </message>
    <message>
        <source>Could not read the model file %1.</source>
        <translation>Could not read the model file %1.</translation>
    </message>
    <message>
        <source>Scene files cannot be opened by this version: %1</source>
        <translation>Scene files cannot be opened by this version: %1</translation>
    </message>
    <message>
        <source>Scene files cannot be opened by this version.</source>
        <translation>Scene files cannot be opened by this version.</translation>
    </message>
    <message>
        <source>Can't add models in support mode.</source>
        <translation>Can't add models in support mode.</translation>
    </message>
    <message>
        <source>Load .stl or .obj file</source>
        <translation>Load .stl or .obj file</translation>
    </message>
    <message>
        <source>STL, OBJ(*.stl *.obj);;O3D (*.o3d);;All Files(*)</source>
        <translation>STL, OBJ(*.stl *.obj);;O3D (*.o3d);;All Files(*)</translation>
    </message>
    <message>
        <source>Please choose STL or OBJ format files</source>
        <translation>Please choose STL or OBJ format files</translation>
    </message>
    <message>
        <source>Unsaved scene changes will be discarded.</source>
        <translation>Unsaved scene changes will be discarded.</translation>
    </message>
    <message>
        <source>Only local files can be opened: %1</source>
        <translation>Only local files can be opened: %1</translation>
    </message>
    <message>
        <source>Are you sure to close Orvell3D?
</source>
        <translation>Are you sure to close Orvell3D?
</translation>
    </message>
    <message>
        <source>The setting file %1 could not be read: %2</source>
        <translation>The setting file %1 could not be read: %2</translation>
    </message>
    <message>
        <source>The settings could not be saved:
%1</source>
        <translation>The settings could not be saved:
%1</translation>
    </message>
    <message>
        <source>The resin profiles could not be read: %1</source>
        <translation>The resin profiles could not be read: %1</translation>
    </message>
    <message>
        <source>Angle (°)</source>
        <translation>Angle (°)</translation>
    </message>
    <message>
        <source>Base</source>
        <translation>Base</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Max. Z (mm)</source>
        <translation>Max. Z (mm)</translation>
    </message>
    <message>
        <source>Max. step (µm)</source>
        <translation>Max. step (µm)</translation>
    </message>
    <message>
        <source>Rel. exposure</source>
        <translation>Rel. exposure</translation>
    </message>
    <message>
        <source>Saved settings and recipes.</source>
        <translation>Saved settings and recipes.</translation>
    </message>
    <message>
        <source>Slice thickness (µm)</source>
        <translation>Slice thickness (µm)</translation>
    </message>
    <message>
        <source>Step (µm)</source>
        <translation>Step (µm)</translation>
    </message>
    <message>
        <source>Supports</source>
        <translation>Supports</translation>
    </message>
    <message>
        <source>The setting file %1 could not be read at start-up; it is left as it is.</source>
        <translation>The setting file %1 could not be read at start-up; it is left as it is.</translation>
    </message>
    <message>
        <source>The settings could not be saved:
%1

Close Orvell3D anyway?</source>
        <translation>The settings could not be saved:
%1

Close Orvell3D anyway?</translation>
    </message>
    <message>
        <source>The settings could not be saved: %1</source>
        <translation>The settings could not be saved: %1</translation>
    </message>
    <message>
        <source>Top of scene: %1 mm</source>
        <translation>Top of scene: %1 mm</translation>
    </message>
    <message>
        <source>Top of the slicing range; follows the highest point of the scene</source>
        <translation>Top of the slicing range; follows the highest point of the scene</translation>
    </message>
    <message>
        <source>Triangles: %1</source>
        <translation>Triangles: %1</translation>
    </message>
    <message>
        <source>Vertices: %1</source>
        <translation>Vertices: %1</translation>
    </message>
    <message>
        <source>Write slices to disk</source>
        <translation>Write slices to disk</translation>
    </message>
    <message>
        <source>Add Model</source>
        <translation>Add Model</translation>
    </message>
    <message>
        <source>Are you sure to erase all models?</source>
        <translation>Are you sure to erase all models?</translation>
    </message>
    <message>
        <source>Clear all models</source>
        <translation>Clear all models</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation>Duplicate</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>Hide</translation>
    </message>
    <message>
        <source>In support mode, normal models can't be removed.</source>
        <translation>In support mode, normal models can't be removed.</translation>
    </message>
    <message>
        <source>Load Scene</source>
        <translation>Load Scene</translation>
    </message>
    <message>
        <source>Make Center</source>
        <translation>Make Center</translation>
    </message>
    <message>
        <source>Move Z+3mm</source>
        <translation>Move Z+3mm</translation>
    </message>
    <message>
        <source>Reset Move (XY)</source>
        <translation>Reset Move (XY)</translation>
    </message>
    <message>
        <source>Rot. center</source>
        <translation>Rot. center</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Select All</translation>
    </message>
    <message>
        <source>Show This Only</source>
        <translation>Show This Only</translation>
    </message>
    <message>
        <source>There is no selected model to proceed.</source>
        <translation>There is no selected model to proceed.</translation>
    </message>
    <message>
        <source>Unhide All</source>
        <translation>Unhide All</translation>
    </message>
</context>
<context>
    <name>settingSelect</name>
    <message>
        <source>Select a setting file</source>
        <translation>Select a setting file</translation>
    </message>
    <message>
        <source>Setting files in the data folder:</source>
        <translation>Setting files in the data folder:</translation>
    </message>
</context>
</TS>