// The three IBIS-AMI entry points the simulator loads by name.
