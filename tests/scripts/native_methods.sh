# Shell functions over the native methods declared in java/I2C_DLN.java. Source this file.

# Prints the Java name of every native method declared in the class file $1, one a line.
JavaNativeMethods() {
    sed -n 's/.*\bnative\s\+\w\+\s\+\(\w\+\)\s*(.*/\1/p' "$1"
}

# Prints the exported C name of the I2C_DLN native method $1 ("_" is written "_1").
JniName() {
    echo "Java_I2C_1DLN_${1//_/_1}"
}
